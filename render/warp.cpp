// warp.cpp
