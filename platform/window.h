// window.h -- the show's one window, its message handling and the error box
#pragma once
#include <cstdint>

namespace platform {

// Caption of the error box and class name of the window.
constexpr const char* WINDOW_CAPTION = "MORVA Q-ENGINE V2.2";

constexpr int32_t SHOW_HIDE = 0;  // show_command that keeps the window hidden
constexpr int32_t SHOW_NORMAL = 1;

// Opaque handle of the one window; null until window_create has made it.
using WindowHandle = void*;

extern WindowHandle main_window;  // set by window_create
extern void* instance_handle;     // set by the entry point; unused on this platform
extern int32_t show_command;      // set by the entry point; SHOW_HIDE keeps the window hidden

// The few things the window procedure reacts to; everything else gets the default handling.
enum class WindowMessage : uint32_t {
    CLOSE_REQUEST,  // the user or the system asks the window to close
    DESTROY,        // the window goes away
    SET_CURSOR,     // the pointer moved over the window: keep it hidden
    OTHER,
};

void window_create();  // creates and shows the window, hides the cursor; failures are silent
bool window_procedure(WindowHandle window, WindowMessage message);  // true when handled
void error_box(const char* text);                 // shows the cursor, then the text
[[noreturn]] void fatal_error(const char* text);  // error_box, then exit code 0 at once
void window_quit();                               // posts the close request and quit

// True once a close request reached the window; the keyboard then reports Escape held.
bool window_close_requested();

}  // namespace platform
