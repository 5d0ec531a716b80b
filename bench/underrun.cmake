# benchmark: the mixing thread keeping up in real time on a busy machine
quorbela_bench(underrun_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/underrun_bench.cpp
  LIBS quorbela_assets quorbela_player quorbela_audio_virtual)
