// pitch.cpp -- periods, frequencies, envelopes and vibratos
