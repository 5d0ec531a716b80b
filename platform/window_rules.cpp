// window_rules.cpp -- the window's message rules and the fatal error path, the same for every
// backend
//
// Built into each backend library rather than the shared one: these call the backend's own
// error_box and cursor hook.
#include <cstdio>
#include <cstdlib>

#include "platform/backend.h"
#include "platform/window.h"

namespace platform {

bool window_procedure(WindowHandle window, WindowMessage message)
{
    (void)window;
    switch (message) {
    case WindowMessage::CLOSE_REQUEST:
        backend::window_close_request();
        return true;
    case WindowMessage::DESTROY:
        // Handled, but the default handling still runs: the window does go away.
        backend::window_close_request();
        return false;
    case WindowMessage::SET_CURSOR:
        // The system never gets to put its pointer over the show.
        backend::cursor_keep_hidden();
        return true;
    case WindowMessage::OTHER:
        break;
    }
    return false;
}

void fatal_error(const char* text)
{
    error_box(text);
    // Nothing else is taken down: the mixing thread may still run, so no destructors either.
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace platform
