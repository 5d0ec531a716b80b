// video.cpp -- sdl backend
