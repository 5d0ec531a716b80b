# tests: output
quorbela_test(control_test SOURCES player/control_test.cpp
  LIBS quorbela_player quorbela_audio_virtual)
quorbela_test(output_test SOURCES player/output_test.cpp
  LIBS quorbela_player quorbela_audio_virtual)
quorbela_test(xmplay_test SOURCES player/xmplay_test.cpp
  LIBS xmplay_core)
target_compile_definitions(xmplay_test PRIVATE XMPLAY_PATH="$<TARGET_FILE:xmplay>")
add_dependencies(xmplay_test xmplay)
