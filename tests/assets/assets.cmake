# tests: assets
