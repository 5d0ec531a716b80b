// tables.cpp
