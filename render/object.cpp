// object.cpp
