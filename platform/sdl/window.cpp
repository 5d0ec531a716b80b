// window.cpp -- sdl backend
