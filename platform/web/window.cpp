// window.cpp -- browser backend: the canvas is the window; errors go on the page
#include <cstdio>

#include "platform/backend.h"
#include "platform/web/page.h"
#include "platform/web/web.h"
#include "platform/window.h"

namespace platform {

namespace {
// The handle only has to be distinct and non-null.
int window_token = 0;
}  // namespace

void window_create()
{
    main_window = &window_token;
}

// The page hides the pointer over the canvas itself.
void backend::cursor_keep_hidden() {}

void error_box(const char* text)
{
    if (text == nullptr) text = "";
    std::fprintf(stderr, "%s: %s\n", WINDOW_CAPTION, text);
    web_error_box(text);
}

void window_quit()
{
    if (main_window != nullptr) window_procedure(main_window, WindowMessage::CLOSE_REQUEST);
    main_window = nullptr;
}

}  // namespace platform

void platform::web::tell_page(const char* event)
{
    web_page_event(event);
}
