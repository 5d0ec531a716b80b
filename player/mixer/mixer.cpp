// mixer.cpp -- voice pool and the linear-interpolating mixer
