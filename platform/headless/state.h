// state.h -- headless backend internals shared between its window, video and input files
#pragma once
#include <string>

namespace platform::headless::detail {

struct WindowState {
    bool created = false;
    bool visible = false;
    bool cursor_visible = true;
    std::string last_error;
};
extern WindowState window;

void video_reset();
void input_reset();

}  // namespace platform::headless::detail
