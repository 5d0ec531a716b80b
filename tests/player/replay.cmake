# tests: replay
