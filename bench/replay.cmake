# benchmark: replay
