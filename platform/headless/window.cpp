// window.cpp -- headless backend
