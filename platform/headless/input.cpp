// input.cpp -- headless backend
