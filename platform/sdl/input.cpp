// input.cpp -- sdl backend
