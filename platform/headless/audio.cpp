// audio.cpp -- headless backend
