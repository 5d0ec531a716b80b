// effects.cpp -- the volume column and the effect column
