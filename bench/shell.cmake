# benchmark: the show's scenes and passes
quorbela_bench(shell_bench
  SOURCES shell_bench.cpp
  LIBS quorbela_shell quorbela_platform_headless)
