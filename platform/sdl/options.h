// options.h -- choices a program makes about the SDL backend before the display is set up
#pragma once
#include <cstdint>

namespace platform::sdl {

// Show the frame in an ordinary window of this size (4:3 inside it, black around) instead of
// covering the display. Before video_set_mode.
void use_window(int32_t width, int32_t height);

}  // namespace platform::sdl
