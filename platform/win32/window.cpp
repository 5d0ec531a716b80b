// window.cpp -- Windows backend: the window class, the tiny pop-up window, its messages and
// the error box
#include <cstdio>

#include "platform/backend.h"
#include "platform/win32/win32.h"
#include "platform/window.h"

namespace platform {

namespace {

struct Win32Window {
    bool showing_error = false;  // the cursor stays visible once an error box was shown
};
Win32Window state;

// The extended window class record of 32-bit Windows.
static_assert(sizeof(WNDCLASSEXA) == 48);

HWND window_handle()
{
    return static_cast<HWND>(main_window);
}

LRESULT CALLBACK window_messages(HWND window, UINT message, WPARAM word, LPARAM value)
{
    switch (message) {
    case WM_DESTROY:
        window_procedure(window, WindowMessage::DESTROY);
        PostQuitMessage(0);
        break;
    case WM_SETCURSOR:
        window_procedure(window, WindowMessage::SET_CURSOR);
        return TRUE;
    case WM_CLOSE:
        // Alt+F4 while the show runs: the show runs out as if Escape were held and shuts itself
        // down; destroying the window here would pull the display from under it.
        window_procedure(window, WindowMessage::CLOSE_REQUEST);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, word, value);
}

}  // namespace

HINSTANCE win32::module_instance()
{
    return instance_handle != nullptr ? static_cast<HINSTANCE>(instance_handle)
                                      : GetModuleHandleA(nullptr);
}

void win32::pump_messages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        // The quit message posted by window_quit or WM_DESTROY means nothing more here: the show
        // ends through key_state.
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void window_create()
{
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_messages;
    window_class.hInstance = win32::module_instance();
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = WINDOW_CAPTION;
    RegisterClassExA(&window_class);

    HWND window = CreateWindowExA(0, WINDOW_CAPTION, nullptr, WS_POPUPWINDOW, 10, 10, 31, 31,
                                  nullptr, nullptr, win32::module_instance(), nullptr);
    main_window = window;
    ShowWindow(window, show_command);
    UpdateWindow(window);
    SetFocus(window);
    ShowCursor(FALSE);
}

void backend::cursor_keep_hidden()
{
    if (!state.showing_error) SetCursor(nullptr);
}

void error_box(const char* text)
{
    if (text == nullptr) text = "";
    state.showing_error = true;
    win32::release_pointer();
    ShowCursor(TRUE);
    // Also on stderr, where it reaches a log when the program's output is redirected; without
    // a console nobody sees it.
    std::fprintf(stderr, "%s: %s\n", WINDOW_CAPTION, text);
    std::fflush(stderr);
    MessageBoxA(nullptr, text, WINDOW_CAPTION, MB_OK);
}

void window_quit()
{
    if (window_handle() != nullptr) PostMessageA(window_handle(), WM_CLOSE, 0, 0);
    PostQuitMessage(0);
}

}  // namespace platform
