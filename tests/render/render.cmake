# tests: render
quorbela_test(render_test
  SOURCES render/tables_test.cpp render/points_test.cpp render/object_test.cpp
          render/warp_test.cpp render/text_test.cpp
  LIBS quorbela_render)
