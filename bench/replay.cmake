# benchmark: replay
quorbela_bench(replay_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/replay_bench.cpp LIBS quorbela_player)
