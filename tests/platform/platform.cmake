# tests: platform
