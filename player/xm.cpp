// xm.cpp -- the XM loader
