// video.cpp -- browser backend: the frame converted to RGBA and put into the canvas, paced by
// sleeping through ASYNCIFY
//
// The show's frame loop blocks, as on the desktop. Each emscripten_sleep unwinds it back to
// the page, which then draws, takes key events and lets the sound device report, and resumes
// it when the time is up; a desktop-style sleep would freeze the page instead.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <vector>

#include "platform/backend.h"
#include "platform/video.h"
#include "platform/web/page.h"
#include "platform/web/pixels.h"
#include "platform/web/web.h"
#include "platform/window.h"

namespace platform {

namespace {

// Unpaced, the loop still hands the page its thread this often, or it would hang until the
// show ends.
constexpr double UNPACED_YIELD_MS = 25;

struct WebVideo {
    bool device = false;
    bool surfaces = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_bytes = 0;
    std::vector<uint8_t> back_buffer;
    std::vector<uint8_t> rgba;
    uint64_t frames = 0;
    web::PresentHook hook = nullptr;
    double frame_interval = 0;  // milliseconds; 0: unpaced
    double next_frame = 0;
    double last_yield = 0;
    bool started = false;
    double left_present = 0;  // when the last video_present returned
    double drawing = 0;       // milliseconds between the last two presents
};
WebVideo video;

void pace()
{
    const double now = emscripten_get_now();
    if (video.frame_interval <= 0) {
        if (now - video.last_yield >= UNPACED_YIELD_MS) {
            emscripten_sleep(0);
            video.last_yield = emscripten_get_now();
        }
        return;
    }
    if (!video.started) {
        video.started = true;
        video.next_frame = now;
    }
    if (video.next_frame > now) {
        emscripten_sleep(static_cast<unsigned>(video.next_frame - now));
    } else {
        // Always give the page its turn, late or not.
        emscripten_sleep(0);
        // More than a frame late (a hidden tab, a busy page): carry on from now rather than
        // rushing through the missed frames.
        if (now - video.next_frame > video.frame_interval) video.next_frame = now;
    }
    video.next_frame += video.frame_interval;
}

}  // namespace

void video_create()
{
    video.device = true;
}

void video_set_mode(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    if (!video.device || main_window == nullptr)
        fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);
    // The canvas takes RGBA; only the 16-bit mode is converted for it.
    if (width <= 0 || height <= 0 || (bits_per_pixel & 0xFF) != 16 ||
        web_canvas_open(width, height) == 0) {
        fatal_error(backend::TEXT_VIDEO_MODE_FAILED);
    }
    video.surfaces = true;
    video.width = width;
    video.height = height;
    video.row_bytes = width * 2;
    video.back_buffer.assign(static_cast<size_t>(video.row_bytes) * static_cast<size_t>(height), 0);
    video.rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    const int32_t rate = backend::frames_per_second(std::getenv("QUORBELA_FPS"));
    video.frame_interval = rate > 0 ? 1000.0 / rate : 0;
    video.started = false;
    video.last_yield = emscripten_get_now();
}

void* video_lock()
{
    return video.surfaces ? video.back_buffer.data() : nullptr;
}

void video_unlock() {}

void video_blit()
{
    if (!video.surfaces) return;
    web::rgb565_to_rgba(video.back_buffer.data(), video.rgba.data(),
                        static_cast<uint32_t>(video.width * video.height));
    web_canvas_show(video.rgba.data(), video.width, video.height);
}

void video_present()
{
    if (!video.surfaces) return;
    const double entered = emscripten_get_now();
    video.drawing = video.left_present > 0 ? entered - video.left_present : 0;
    pace();
    backend::frame_copy_to(video.back_buffer.data(), video.row_bytes, video.row_bytes,
                           video.height);
    video_blit();
    if (video.hook != nullptr) {
        video.hook(video.back_buffer.data(), static_cast<uint32_t>(video.back_buffer.size()),
                   video.frames);
    }
    ++video.frames;
    video.left_present = emscripten_get_now();
}

void video_release()
{
    if (!video.device) return;
    const web::PresentHook hook = video.hook;
    const uint64_t frames = video.frames;
    video = {};
    video.hook = hook;
    video.frames = frames;
}

void web::set_present_hook(PresentHook hook)
{
    video.hook = hook;
}

uint64_t web::frames_presented()
{
    return video.frames;
}

double web::drawing_ms()
{
    return video.drawing;
}

}  // namespace platform
