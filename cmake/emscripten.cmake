# emscripten.cmake -- cross toolchain for the browser build with Debian's emscripten: its own
# toolchain description, with node as the emulator. Every emcc run needs
# NODE_PATH=/usr/share/nodejs (node looks for acorn where Debian puts it only then), and node
# runs wasm only without its experimental fetch; `make web` sets both.
set(QUORBELA_EMSCRIPTEN_ROOT /usr/share/emscripten CACHE PATH "Where Debian's emscripten lives")
find_program(QUORBELA_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORBELA_NODE};--no-experimental-fetch" CACHE STRING
  "Runs the build's wasm programs")
include(${QUORBELA_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
