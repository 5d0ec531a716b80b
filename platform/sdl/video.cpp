// video.cpp -- SDL backend: the frame as a streaming texture, shown full screen at 4:3
#include <algorithm>
#include <cstdlib>
#include "platform/backend.h"
#include "platform/sdl/options.h"
#include "platform/sdl/sdl.h"
#include "platform/video.h"
#include "platform/window.h"

namespace platform {

namespace {

struct SdlVideo {
    bool video_subsystem = false;  // the reference video_create holds on SDL's video
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_bytes = 0;
    int32_t locked_pitch = 0;
    bool locked = false;
};
SdlVideo video;

// Zero: cover the display.
int32_t window_width = 0;
int32_t window_height = 0;

SDL_Window* sdl_window()
{
    return static_cast<SDL_Window*>(main_window);
}

Uint32 texture_format(int32_t bits_per_pixel)
{
    switch (bits_per_pixel & 0xFF) {
    case 15:
        return SDL_PIXELFORMAT_RGB555;
    case 16:
        return SDL_PIXELFORMAT_RGB565;
    case 24:
        return SDL_PIXELFORMAT_RGB24;
    case 32:
        return SDL_PIXELFORMAT_RGB888;
    default:
        return SDL_PIXELFORMAT_UNKNOWN;  // no palette: 8-bit modes are refused
    }
}

// The mode's pixels were not square: 320 x 200 filled a 4:3 monitor.
int32_t shown_height(int32_t width)
{
    return width * 3 / 4;
}

bool window_shows_nothing()
{
    const Uint32 flags = SDL_GetWindowFlags(sdl_window());
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

void cover_display()
{
    // Also cover the display by hand: without a window manager to honour the full-screen
    // request (a bare X server) the window would stay at its pop-up size and place. The move
    // has to come after the request to take effect there.
    SDL_Rect bounds;
    const bool have_bounds =
        SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(sdl_window()), 0), &bounds) == 0;
    if (have_bounds) SDL_SetWindowSize(sdl_window(), bounds.w, bounds.h);
    if (SDL_SetWindowFullscreen(sdl_window(), SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);
    }
    if (have_bounds) SDL_SetWindowPosition(sdl_window(), bounds.x, bounds.y);
}

}  // namespace

void sdl::use_window(int32_t width, int32_t height)
{
    window_width = width;
    window_height = height;
}

void video_create()
{
    if (!sdl::video_init()) fatal_error(backend::TEXT_INIT_FAILED);
    video.video_subsystem = true;
}

void video_set_mode(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    if (sdl_window() == nullptr) {
        // window_create found no display then; one more try now that video is up.
        main_window = SDL_CreateWindow("", 10, 10, 31, 31, SDL_WINDOW_BORDERLESS);
    }
    if (sdl_window() == nullptr) fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);
    if (window_width > 0) {
        SDL_SetWindowTitle(sdl_window(), WINDOW_CAPTION);
        SDL_SetWindowBordered(sdl_window(), SDL_TRUE);
        SDL_SetWindowSize(sdl_window(), window_width, window_height);
        SDL_SetWindowPosition(sdl_window(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    } else {
        cover_display();
    }
    // No vsync: presenting never waits for the vertical blank; pacing is ours.
    video.renderer = SDL_CreateRenderer(sdl_window(), -1, 0);
    if (video.renderer == nullptr) fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);

    const Uint32 format = texture_format(bits_per_pixel);
    if (width <= 0 || height <= 0 || format == SDL_PIXELFORMAT_UNKNOWN ||
        SDL_RenderSetLogicalSize(video.renderer, width, shown_height(width)) != 0) {
        fatal_error(backend::TEXT_VIDEO_MODE_FAILED);
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    video.texture =
        SDL_CreateTexture(video.renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (video.texture == nullptr) fatal_error(backend::TEXT_VIDEO_MODE_FAILED);

    video.width = width;
    video.height = height;
    video.row_bytes = width * backend::bytes_per_pixel(bits_per_pixel);
    backend::pacing_start(backend::frames_per_second(std::getenv("QUORBELA_FPS")));

    SDL_SetRenderDrawColor(video.renderer, 0, 0, 0, 255);
    SDL_RenderClear(video.renderer);
    SDL_RenderPresent(video.renderer);
}

// SDL has no still-drawing state to wait out: a lock either works or yields null, and then
// video_present skips the copy.
void* video_lock()
{
    if (video.texture == nullptr) return nullptr;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(video.texture, nullptr, &pixels, &pitch) != 0) return nullptr;
    video.locked = true;
    video.locked_pitch = pitch;
    return pixels;
}

void video_unlock()
{
    if (!video.locked) return;
    SDL_UnlockTexture(video.texture);
    video.locked = false;
}

void video_blit()
{
    if (video.renderer == nullptr) return;
    // One attempt: a frame that cannot be shown is dropped, the next one tries again.
    const SDL_Rect source{0, 0, video.width, video.height};
    const SDL_Rect target{0, 0, video.width, shown_height(video.width)};
    SDL_SetRenderDrawColor(video.renderer, 0, 0, 0, 255);
    SDL_RenderClear(video.renderer);
    SDL_RenderCopy(video.renderer, video.texture, &source, &target);
    SDL_RenderPresent(video.renderer);
}

void video_present()
{
    if (video.texture == nullptr) return;
    backend::pace_frame();
    // Minimised or hidden: nothing to show, and waiting for the window would stop the show.
    if (window_shows_nothing()) return;
    if (auto* surface = static_cast<uint8_t*>(video_lock())) {
        backend::frame_copy_to(surface, video.locked_pitch, video.row_bytes, video.height);
        video_unlock();
    }
    video_blit();
}

void video_release()
{
    if (!video.video_subsystem) return;
    if (video.texture != nullptr) SDL_DestroyTexture(video.texture);
    if (video.renderer != nullptr) SDL_DestroyRenderer(video.renderer);
    video.texture = nullptr;
    video.renderer = nullptr;
    // Back to the desktop; the window itself lives until window_quit.
    if (sdl_window() != nullptr) SDL_SetWindowFullscreen(sdl_window(), 0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video = {};
}

}  // namespace platform
