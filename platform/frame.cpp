// frame.cpp -- shared backend
