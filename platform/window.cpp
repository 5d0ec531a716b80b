// window.cpp -- the window's process-wide handles and the close request, shared by every backend
#include "platform/backend.h"
#include "platform/window.h"

namespace platform {

WindowHandle main_window = nullptr;
void* instance_handle = nullptr;
int32_t show_command = SHOW_NORMAL;

namespace {
bool close_requested = false;
}  // namespace

bool window_close_requested()
{
    return close_requested;
}

void backend::window_close_request()
{
    close_requested = true;
}

void backend::window_state_reset()
{
    close_requested = false;
    main_window = nullptr;
}

}  // namespace platform
