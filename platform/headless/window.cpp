// window.cpp -- headless backend: a window that exists only as state; errors go to stderr
#include <cstdio>
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/headless/state.h"
#include "platform/window.h"

namespace platform {

namespace headless::detail {
WindowState window;
}  // namespace headless::detail

namespace {
// The handle only has to be distinct and non-null.
int window_token = 0;
}  // namespace

using headless::detail::window;

void window_create()
{
    window.created = true;
    window.visible = show_command != SHOW_HIDE;
    window.cursor_visible = false;
    main_window = &window_token;
}

void backend::cursor_keep_hidden() {}

void error_box(const char* text)
{
    window.cursor_visible = true;
    window.last_error = text != nullptr ? text : "";
    // There is no display to show a box on: one line on stderr instead.
    std::fprintf(stderr, "%s: %s\n", WINDOW_CAPTION, window.last_error.c_str());
}

void window_quit()
{
    if (main_window != nullptr) window_procedure(main_window, WindowMessage::CLOSE_REQUEST);
}

bool headless::window_visible()
{
    return window.visible;
}
bool headless::cursor_visible()
{
    return window.cursor_visible;
}
const char* headless::last_error()
{
    return window.last_error.c_str();
}

void headless::reset()
{
    window = {};
    backend::window_state_reset();
    backend::key_state_clear();
    detail::video_reset();
    detail::input_reset();
}

}  // namespace platform
