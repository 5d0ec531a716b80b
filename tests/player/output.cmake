# tests: output
quorbela_test(control_test SOURCES player/control_test.cpp
  LIBS quorbela_player quorbela_audio_virtual)
quorbela_test(output_test SOURCES player/output_test.cpp
  LIBS quorbela_player quorbela_audio_virtual)
quorbela_test(xmplay_test SOURCES player/xmplay_test.cpp
  LIBS xmplay_core)
# Hostile modules kept beside the repository; the test skips itself where they are absent.
set(QUORBELA_REGRESSIONS_DIR "${PROJECT_SOURCE_DIR}/../shared/regressions" CACHE PATH
  "Folder of regression XM files every one of which must render or be refused")
target_compile_definitions(xmplay_test PRIVATE XMPLAY_PATH="$<TARGET_FILE:xmplay>"
  REGRESSIONS_DIR="${QUORBELA_REGRESSIONS_DIR}")
add_dependencies(xmplay_test xmplay)
quorbela_test(underrun_test SOURCES player/underrun_test.cpp
  LIBS quorbela_assets quorbela_player quorbela_audio_virtual)
# An hour of the demo's song, offline: a few seconds.
add_executable(soak player/soak.cpp)
target_link_libraries(soak PRIVATE quorbela_warnings quorbela_test_support quorbela_assets quorbela_player
  quorbela_audio_virtual)
add_test(NAME soak_one_hour COMMAND soak)
