# tests: output
