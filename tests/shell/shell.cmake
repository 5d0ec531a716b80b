# tests: the show
quorbela_test(shell_test SOURCES shell/passes_test.cpp shell/show_test.cpp
  LIBS quorbela_shell quorbela_platform_headless)
target_compile_definitions(shell_test PRIVATE CAPTURE_PATH="$<TARGET_FILE:quorbela-capture>"
  QUORBELA_PATH="$<TARGET_FILE:quorbela>")
add_dependencies(shell_test quorbela-capture quorbela)
