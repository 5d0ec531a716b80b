# benchmark: mixer
quorbela_bench(mixer_bench SOURCES mixer_bench.cpp LIBS quorbela_player)
