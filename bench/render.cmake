# benchmark: render
quorbela_bench(render_bench
  SOURCES render_bench.cpp ${PROJECT_SOURCE_DIR}/tests/render/frame_stand_in.cpp
  LIBS quorbela_render)
