# tests: replay
quorbela_test(replay_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/replay_test.cpp LIBS quorbela_player)
quorbela_test(effects_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_test.cpp LIBS quorbela_player)
quorbela_test(pitch_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/pitch_test.cpp LIBS quorbela_player)
# Golden per-tick traces live beside the tests; QUORBELA_UPDATE_TRACES=1 rewrites them.
foreach(trace_test replay_test effects_test)
  target_compile_definitions(${trace_test} PRIVATE QUORBELA_TRACE_DIR="${CMAKE_CURRENT_LIST_DIR}/traces")
endforeach()
