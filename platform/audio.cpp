// audio.cpp -- shared backend
