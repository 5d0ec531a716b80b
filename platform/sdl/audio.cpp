// audio.cpp -- sdl backend
