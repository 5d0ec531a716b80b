// points.cpp
