// video.cpp -- headless backend
