// replay.cpp -- tick sequencing, notes and instruments
