# tests: render
