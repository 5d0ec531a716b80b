# web.cmake -- the browser build (toolchain cmake/emscripten.cmake): the show and the player as
# WebAssembly with the pages that host them, into one static folder. Tests, benchmarks and
# fuzzing run in the native build.

# No threads: the sound opens without its mixing thread and the page fills the chunks. No
# -msse2 either: the mixer's portable path is the one the browser runs.
# WebAssembly's 128-bit vectors, for the compiler's vectorised loops (the frame passes, the
# mixer's portable path): integer lanes and IEEE float lanes give the same bits as the scalar
# code, which the frame and sound checks hold it to.
add_compile_options(-msimd128)
# Everything is linked into one module: position-independent code would only reach every
# global through the module's base address.
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

set(QUORBELA_WEB_SITE "${CMAKE_BINARY_DIR}/site" CACHE PATH
  "The folder the pages, scripts and wasm files go to")

# assetgen runs at build time, so it has to run here: the native build's is handed in.
set(QUORBELA_HOST_ASSETGEN "" CACHE FILEPATH "assetgen built for the build machine")
if(NOT EXISTS "${QUORBELA_HOST_ASSETGEN}")
  message(FATAL_ERROR "The browser build runs the build machine's assetgen: configure with "
                      "-DQUORBELA_HOST_ASSETGEN=<native build>/tools/assetgen/assetgen "
                      "(make web does this)")
endif()
# std::thread compiles without -pthread but aborts when started: nothing here starts one, and
# -pthread would need cross-origin isolation headers from every server.
add_library(Threads::Threads INTERFACE IMPORTED)

add_executable(assetgen IMPORTED)
set_target_properties(assetgen PROPERTIES IMPORTED_LOCATION "${QUORBELA_HOST_ASSETGEN}")

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${QUORBELA_WEB_SITE})

add_subdirectory(player)
add_subdirectory(platform)
add_subdirectory(render)
add_subdirectory(shell)
add_subdirectory(assets)
add_subdirectory(tools/offline)
add_subdirectory(tools/xmplay)
add_subdirectory(tools/web)

# The scenes timed in WebAssembly, run under node (bench/web_scene_bench.cpp).
add_executable(web_scene_bench bench/web_scene_bench.cpp)
target_link_libraries(web_scene_bench PRIVATE quorbela_shell quorbela_platform_headless)
set_target_properties(web_scene_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_options(web_scene_bench PRIVATE -O3 "SHELL:-s ENVIRONMENT=node" "SHELL:-s ALLOW_MEMORY_GROWTH=1")
