// video.cpp -- headless backend: a back buffer in memory whose blits go to a frame sink
#include <deque>
#include <utility>
#include <vector>
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/headless/state.h"
#include "platform/video.h"
#include "platform/window.h"

namespace platform {

namespace {

using headless::DisplayFailure;
using headless::LockResult;

struct HeadlessVideo {
    bool device = false;
    bool surfaces = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits_per_pixel = 0;
    int32_t row_bytes = 0;
    int32_t pitch = 0;
    int32_t padding = 0;
    bool locked = false;
    std::vector<uint8_t> back_buffer;
    DisplayFailure failure = DisplayFailure::NONE;
    std::deque<LockResult> lock_results;
    int64_t lock_attempts = 0;
    headless::FrameSink sink;
    headless::PresentClock clock;
    uint64_t frames = 0;
    std::vector<uint8_t> last_frame;
    uint64_t last_hash = 0;
    bool hash_stale = false;
};
HeadlessVideo video;

LockResult next_lock_result()
{
    ++video.lock_attempts;
    if (video.lock_results.empty()) return LockResult::OK;
    const LockResult result = video.lock_results.front();
    video.lock_results.pop_front();
    return result;
}

}  // namespace

void video_create()
{
    if (video.failure == DisplayFailure::INIT) fatal_error(backend::TEXT_INIT_FAILED);
    video.device = true;
}

void video_set_mode(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    if (!video.device || main_window == nullptr ||
        video.failure == DisplayFailure::COOPERATIVE_LEVEL) {
        fatal_error(backend::TEXT_COOPERATIVE_LEVEL_FAILED);
    }
    if (width <= 0 || height <= 0 || video.failure == DisplayFailure::VIDEO_MODE) {
        fatal_error(backend::TEXT_VIDEO_MODE_FAILED);
    }
    video.surfaces = true;
    video.width = width;
    video.height = height;
    video.bits_per_pixel = bits_per_pixel & 0xFF;
    video.row_bytes = width * backend::bytes_per_pixel(bits_per_pixel);
    video.pitch = video.row_bytes + video.padding;
    video.back_buffer.assign(static_cast<size_t>(video.pitch) * static_cast<size_t>(height), 0);
}

void* video_lock()
{
    if (!video.surfaces) return nullptr;
    // A surface still being drawn is asked again at once: that state always passes.
    LockResult result = next_lock_result();
    while (result == LockResult::STILL_DRAWING) result = next_lock_result();
    if (result != LockResult::OK) return nullptr;
    video.locked = true;
    return video.back_buffer.data();
}

void video_unlock()
{
    video.locked = false;
}

void video_blit()
{
    if (!video.surfaces) return;
    video.last_frame = video.back_buffer;
    video.hash_stale = true;
    if (video.sink) {
        video.sink({video.last_frame.data(), video.width, video.height, video.pitch,
                    video.bits_per_pixel, video.frames});
    }
    ++video.frames;
    if (video.clock) video.clock(video.frames);
}

void video_present()
{
    if (!video.surfaces) return;
    // A failed lock leaves the back buffer as it was: the previous picture is shown again.
    if (auto* surface = static_cast<uint8_t*>(video_lock())) {
        backend::frame_copy_to(surface, video.pitch, video.row_bytes, video.height);
        video_unlock();
    }
    video_blit();
}

void video_release()
{
    if (!video.device) return;
    if (video.surfaces) {
        video.surfaces = false;
        video.back_buffer.clear();
    }
    video.device = false;
}

void headless::fail_display(DisplayFailure failure)
{
    video.failure = failure;
}

void headless::queue_lock_results(std::vector<LockResult> results)
{
    video.lock_results.assign(results.begin(), results.end());
}

int64_t headless::lock_attempts()
{
    return video.lock_attempts;
}

void headless::set_surface_padding(int32_t bytes)
{
    video.padding = bytes > 0 ? bytes : 0;
}

void headless::set_frame_sink(FrameSink sink)
{
    video.sink = std::move(sink);
}

void headless::set_present_clock(PresentClock clock)
{
    video.clock = std::move(clock);
}

uint64_t headless::frames_presented()
{
    return video.frames;
}

const std::vector<uint8_t>& headless::last_frame()
{
    return video.last_frame;
}

uint64_t headless::last_frame_hash()
{
    // Hashed when asked: a capture presents thousands of frames nobody hashes.
    if (video.hash_stale) {
        video.last_hash = headless::frame_hash(video.last_frame.data(), video.last_frame.size());
        video.hash_stale = false;
    }
    return video.last_hash;
}

uint64_t headless::frame_hash(const uint8_t* data, size_t size)
{
    return platform::frame_hash(data, size);
}

headless::DisplayState headless::display_state()
{
    return {video.device, video.surfaces, video.width, video.height, video.bits_per_pixel};
}

void headless::detail::video_reset()
{
    video = {};
}

}  // namespace platform
