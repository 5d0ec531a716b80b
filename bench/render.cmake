# benchmark: render
