# tests: foundation
