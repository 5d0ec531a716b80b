# benchmark: render
quorbela_bench(render_bench
  SOURCES render_bench.cpp
  LIBS quorbela_shell)
