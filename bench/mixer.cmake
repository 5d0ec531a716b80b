# benchmark: mixer
