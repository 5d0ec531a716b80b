# tests: installing the player and building the example against the installed tree
add_test(NAME install_and_build_example
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DEXAMPLES_DIR=${PROJECT_SOURCE_DIR}/examples
    -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install_test
    -DSONG=${PROJECT_BINARY_DIR}/assets/quorbela.xm
    -DVERSION=${PROJECT_VERSION}
    -DCXX=${CMAKE_CXX_COMPILER}
    "-DLINK_FLAGS=$<$<BOOL:${QUORBELA_SANITIZE}>:-fsanitize=address,undefined>"
    -P ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.cmake)
# Configuring and building a project takes a while on a busy machine.
set_tests_properties(install_and_build_example PROPERTIES TIMEOUT 600)
