// pacing.cpp -- the steady frame rate every backend's video_present keeps
#include <chrono>
#include <thread>

#include "platform/backend.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Pacing {
    Clock::duration frame_interval{};  // zero: unpaced
    Clock::time_point next_frame{};
    bool started = false;
};
Pacing pacing;

}  // namespace

void backend::pacing_start(int32_t frames_per_second)
{
    pacing = {};
    if (frames_per_second > 0) {
        pacing.frame_interval = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(1'000'000'000 / frames_per_second));
    }
}

void backend::pace_frame()
{
    if (pacing.frame_interval == Clock::duration::zero()) return;
    const Clock::time_point now = Clock::now();
    if (!pacing.started) {
        pacing.started = true;
        pacing.next_frame = now;
    }
    if (pacing.next_frame > now) {
        std::this_thread::sleep_until(pacing.next_frame);
    } else if (now - pacing.next_frame > pacing.frame_interval) {
        // More than a frame late (a stall, a drag of the window): carry on from now rather than
        // rushing through the missed frames.
        pacing.next_frame = now;
    }
    pacing.next_frame += pacing.frame_interval;
}

}  // namespace platform
