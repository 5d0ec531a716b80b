# win32.cmake -- the 32-bit Windows build (toolchain cmake/mingw-i686.cmake): the programs only.
# Tests, benchmarks and fuzzing run in the native build.

# SSE2 arithmetic, as on x86-64: the x87 unit's wider intermediates would change the mix.
add_compile_options(-msse2 -mfpmath=sse)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# No link time in the PE header, so the same sources give the same .exe byte for byte.
add_link_options(-Wl,--no-insert-timestamp)

find_package(Threads REQUIRED)

# assetgen runs at build time, so it has to run here: the native build's is handed in.
set(QUORBELA_HOST_ASSETGEN "" CACHE FILEPATH "assetgen built for the build machine")
if(NOT EXISTS "${QUORBELA_HOST_ASSETGEN}")
  message(FATAL_ERROR "The Windows build runs the build machine's assetgen: configure with "
                      "-DQUORBELA_HOST_ASSETGEN=<native build>/tools/assetgen/assetgen "
                      "(make win32 does this)")
endif()
add_executable(assetgen IMPORTED)
set_target_properties(assetgen PROPERTIES IMPORTED_LOCATION "${QUORBELA_HOST_ASSETGEN}")

# quorbela.exe and xmplay.exe at the top of the build folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_subdirectory(player)
add_subdirectory(platform)
add_subdirectory(render)
add_subdirectory(shell)
add_subdirectory(assets)
add_subdirectory(tools/offline)
add_subdirectory(tools/xmplay)
add_subdirectory(tools/quorbela)
add_subdirectory(tools/videocheck)
