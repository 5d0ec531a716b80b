# tests: platform
quorbela_test(platform_test
  SOURCES platform/frame_test.cpp platform/video_test.cpp platform/input_test.cpp
          platform/window_test.cpp platform/audio_test.cpp
  LIBS quorbela_platform_headless)

# The SDL backend under SDL's dummy video driver, so it runs without a display.
quorbela_test(platform_sdl_test
  SOURCES platform/sdl_test.cpp
  LIBS quorbela_platform_sdl)
