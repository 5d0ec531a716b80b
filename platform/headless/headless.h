// headless.h -- controls of the headless backend: frame sink, scripted keyboard, injected faults
//
// The headless backend implements window.h, video.h and input.h without a display, for tests
// and offline capture. Presented frames go to a sink; the keyboard follows a script keyed by
// the number of frames presented so far; display failures and lock results can be injected.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform::headless {

// Which start-up step of the display fails (each ends the process through fatal_error).
enum class DisplayFailure { NONE, INIT, COOPERATIVE_LEVEL, VIDEO_MODE };
void fail_display(DisplayFailure failure);

// Results the back buffer's lock gives, one per attempt; once the queue is empty, OK.
enum class LockResult { OK, STILL_DRAWING, FAILED };
void queue_lock_results(std::vector<LockResult> results);
int64_t lock_attempts();

// Extra bytes at the end of each back-buffer row (a padded surface); takes effect at
// video_set_mode.
void set_surface_padding(int32_t bytes);

// One presented frame: the back buffer as the blit showed it; valid during the sink call.
struct Frame {
    const uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t pitch;  // bytes from one row to the next
    int32_t bits_per_pixel;
    uint64_t index;  // 0 for the first presented frame
};
using FrameSink = std::function<void(const Frame&)>;
void set_frame_sink(FrameSink sink);  // an empty sink only counts and keeps the last frame

// Called after each present, once the sink has had the frame and it is counted, with the
// number of frames presented so far: the step where a driver moves its own clock on (the
// capture plays the frame's share of sound). Empty: no clock.
using PresentClock = std::function<void(uint64_t frames_presented)>;
void set_present_clock(PresentClock clock);

uint64_t frames_presented();
const std::vector<uint8_t>& last_frame();  // bytes of the last presented frame, pitch included
uint64_t last_frame_hash();                // frame_hash of last_frame, 0 before the first
uint64_t frame_hash(const uint8_t* data, size_t size);  // 64-bit FNV-1a

// The key with this scan code is down at every poll made while frames_presented() lies in
// first_frame .. last_frame (inclusive).
struct KeyHold {
    uint8_t scan_code;
    uint64_t first_frame;
    uint64_t last_frame;
};
void set_key_script(std::vector<KeyHold> script);
void key_event(uint8_t scan_code, bool down);  // a press or release between two polls
void fail_polls(int32_t count);                // the next `count` polls fail

struct DisplayState {
    bool device;    // created by video_create
    bool surfaces;  // made by video_set_mode
    int32_t width;
    int32_t height;
    int32_t bits_per_pixel;
};
DisplayState display_state();

bool window_visible();
bool cursor_visible();
const char* last_error();  // text of the last error box, "" when none

// Back to the state before start-up: nothing created, no script, no injected faults, sink
// and clock removed, counters at 0, key_state clear, no close request.
void reset();

}  // namespace platform::headless
