// window.cpp -- SDL backend: the borderless window, its cursor and the error box
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "platform/backend.h"
#include "platform/sdl/sdl.h"
#include "platform/window.h"

namespace platform {

namespace {

struct SdlWindow {
    bool video_subsystem = false;  // the reference window_create holds on SDL's video
    bool showing_error = false;    // the cursor stays visible once an error box was shown
};
SdlWindow state;

SDL_Window* sdl_window()
{
    return static_cast<SDL_Window*>(main_window);
}

// Drivers SDL falls back on when no display is reachable: they show nothing to a person.
bool stand_in_driver(const char* driver)
{
    for (const char* stand_in : {"offscreen", "dummy", "evdev"}) {
        if (std::strcmp(driver, stand_in) == 0) return true;
    }
    return false;
}

// Whether the Wayland driver could find a compositor. Without a runtime folder libwayland
// only prints complaints on stderr, so it is not asked then.
bool wayland_reachable()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display != nullptr && display[0] == '/') return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0';
}

}  // namespace

bool sdl::video_init()
{
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (requested != nullptr && *requested != '\0') return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    // SDL's own order, minus the stand-ins: a desktop without a display is no display.
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (driver == nullptr || stand_in_driver(driver)) continue;
        if (std::strcmp(driver, "wayland") == 0 && !wayland_reachable()) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        const bool opened = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        if (opened) return true;
    }
    SDL_SetError("no display");
    return false;
}

void window_create()
{
    SDL_SetHint(SDL_HINT_APP_NAME, WINDOW_CAPTION);
    // Without a display this fails; video_create then reports it.
    if (!sdl::video_init()) return;
    state.video_subsystem = true;
    // A small untitled pop-up: the display mode covers it as soon as it is set.
    Uint32 flags = SDL_WINDOW_BORDERLESS;
    if (show_command == SHOW_HIDE) flags |= SDL_WINDOW_HIDDEN;
    SDL_Window* window = SDL_CreateWindow("", 10, 10, 31, 31, flags);
    main_window = window;
    if (window != nullptr && show_command != SHOW_HIDE) SDL_RaiseWindow(window);
    SDL_ShowCursor(SDL_DISABLE);
}

void backend::cursor_keep_hidden()
{
    if (!state.showing_error) SDL_ShowCursor(SDL_DISABLE);
}

bool sdl::window_event(const SDL_Event& event)
{
    WindowMessage message = WindowMessage::OTHER;
    if (event.type == SDL_QUIT) {
        message = WindowMessage::CLOSE_REQUEST;
    } else if (event.type == SDL_WINDOWEVENT) {
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            message = WindowMessage::CLOSE_REQUEST;
            break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_ENTER:
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            message = WindowMessage::SET_CURSOR;
            break;
        default:
            break;
        }
    } else {
        return false;
    }
    window_procedure(main_window, message);
    return true;
}

void error_box(const char* text)
{
    if (text == nullptr) text = "";
    state.showing_error = true;
    SDL_ShowCursor(SDL_ENABLE);
    // A full-screen window would hide the box.
    if (sdl_window() != nullptr) SDL_SetWindowFullscreen(sdl_window(), 0);
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, WINDOW_CAPTION, text, nullptr) != 0) {
        // No display to show a box on.
        std::fprintf(stderr, "%s: %s\n", WINDOW_CAPTION, text);
    }
}

void window_quit()
{
    if (sdl_window() != nullptr) {
        window_procedure(main_window, WindowMessage::CLOSE_REQUEST);
        SDL_DestroyWindow(sdl_window());
        main_window = nullptr;
    }
    if (state.video_subsystem) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        state.video_subsystem = false;
    }
}

}  // namespace platform
