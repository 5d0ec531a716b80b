// video.cpp -- Windows backend: DirectDraw's full-screen 320 x 200 x 16 mode, the frame copied
// into the back buffer and blitted onto the primary surface
#include <windows.h>
#include <ddraw.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

#include "platform/backend.h"
#include "platform/video.h"
#include "platform/win32/win32.h"
#include "platform/window.h"

namespace platform {

namespace {

// The surface description of the first DirectDraw interface, as the calls below hand it over.
static_assert(sizeof(DDSURFACEDESC) == 108);

// Green in bits 9-5: a 16-bit mode that is X1R5G5B5 rather than the frame's R5G6B5.
constexpr DWORD GREEN_MASK_555 = 0x03E0;

struct Win32Video {
    LPDIRECTDRAW draw = nullptr;
    LPDIRECTDRAWSURFACE primary = nullptr;
    LPDIRECTDRAWSURFACE back = nullptr;  // attached to the primary; only locked and blitted from
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_bytes = 0;
    int32_t locked_pitch = 0;
    bool locked = false;
    bool rgb555 = false;
    bool fine_timer = false;
};
Win32Video video;

// After a switch away from the exclusive mode every surface call fails with SURFACELOST until
// the surfaces are restored, which works again only once the show is back in front.
void restore_surfaces()
{
    if (video.primary != nullptr) video.primary->Restore();
}

bool is_rgb555(LPDIRECTDRAWSURFACE surface)
{
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (surface->GetPixelFormat(&format) != DD_OK) return false;
    return (format.dwFlags & DDPF_RGB) != 0 && format.dwRGBBitCount == 16 &&
           format.dwGBitMask == GREEN_MASK_555;
}

// The frame is RGB565; a 555 surface gets each pixel's green shortened by its lowest bit.
void convert_to_555(uint8_t* surface)
{
    for (int32_t y = 0; y < video.height; ++y) {
        auto* row =
            reinterpret_cast<uint16_t*>(surface + static_cast<ptrdiff_t>(y) * video.locked_pitch);
        for (int32_t x = 0; x < video.width; ++x) {
            const uint16_t pixel = row[x];
            row[x] = static_cast<uint16_t>(((pixel >> 1) & 0x7FE0) | (pixel & 0x001F));
        }
    }
}

}  // namespace

void video_create()
{
    if (DirectDrawCreate(nullptr, &video.draw, nullptr) != DD_OK) {
        video.draw = nullptr;
        fatal_error(backend::TEXT_INIT_FAILED);
    }
}

void video_set_mode(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    if (video.draw == nullptr) fatal_error(backend::TEXT_INIT_FAILED);
    if (video.draw->SetCooperativeLevel(static_cast<HWND>(main_window),
                                        DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX) !=
        DD_OK) {
        fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);
    }
    if (video.draw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                   static_cast<DWORD>(bits_per_pixel & 0xFF)) != DD_OK) {
        fatal_error(backend::TEXT_VIDEO_MODE_FAILED);
    }
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    description.dwBackBufferCount = 1;
    if (video.draw->CreateSurface(&description, &video.primary, nullptr) != DD_OK) {
        video.primary = nullptr;
    }
    if (video.primary != nullptr) {
        DDSCAPS caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (video.primary->GetAttachedSurface(&caps, &video.back) != DD_OK) video.back = nullptr;
    }
    video.width = width;
    video.height = height;
    video.row_bytes = width * backend::bytes_per_pixel(bits_per_pixel);
    video.rgb555 = video.back != nullptr && is_rgb555(video.back);
    // Sleep-based pacing needs the 1 ms timer; the default one ticks every 15.6 ms.
    if (!video.fine_timer) video.fine_timer = timeBeginPeriod(1) == TIMERR_NOERROR;
    backend::pacing_start(backend::frames_per_second(std::getenv("QUORBELA_FPS")));
}

// A back buffer still being drawn by the hardware is asked again at once; that state always
// passes. A lost surface is restored for the next frame and this one gets no memory.
void* video_lock()
{
    if (video.back == nullptr) return nullptr;
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    HRESULT result;
    do {
        result = video.back->Lock(nullptr, &description, 0, nullptr);
    } while (result == DDERR_WASSTILLDRAWING);
    if (result == DDERR_SURFACELOST) restore_surfaces();
    if (result != DD_OK) return nullptr;
    video.locked = true;
    video.locked_pitch = static_cast<int32_t>(description.lPitch);
    return description.lpSurface;
}

void video_unlock()
{
    if (!video.locked) return;
    video.back->Unlock(nullptr);
    video.locked = false;
}

// A busy blitter is asked again at once. Any other failure skips this frame's blit: a lost
// surface would fail every retry, so retrying until success would never end.
void video_blit()
{
    if (video.primary == nullptr || video.back == nullptr) return;
    RECT source{0, 0, video.width, video.height};
    for (;;) {
        const HRESULT result =
            video.primary->BltFast(0, 0, video.back, &source, DDBLTFAST_NOCOLORKEY);
        if (result == DDERR_WASSTILLDRAWING) continue;
        if (result == DDERR_SURFACELOST) restore_surfaces();
        return;
    }
}

void video_present()
{
    backend::pace_frame();
    // The lock's pitch is honoured: a padded back buffer gets the frame row by row. A failed
    // lock leaves the back buffer as it was: the previous picture is shown again.
    if (auto* surface = static_cast<uint8_t*>(video_lock())) {
        backend::frame_copy_to(surface, video.locked_pitch, video.row_bytes, video.height);
        if (video.rgb555) convert_to_555(surface);
        video_unlock();
    }
    video_blit();
}

void video_release()
{
    if (video.draw != nullptr) {
        if (video.primary != nullptr) video.primary->Release();  // the back buffer goes with it
        video.draw->Release();
    }
    if (video.fine_timer) timeEndPeriod(1);
    video = {};
}

}  // namespace platform
