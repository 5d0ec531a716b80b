# bench: the modules bench/compare.sh renders besides the demo's song
add_executable(bench_modules bench_modules.cpp)
target_link_libraries(bench_modules PRIVATE quorbela_warnings)
