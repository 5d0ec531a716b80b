// backend.h -- the pieces every backend shares; the show never includes this
#pragma once
#include <cstdint>
#include "platform/input.h"

namespace platform::backend {

// The three start-up failures of the display.
constexpr const char* TEXT_INIT_FAILED = "Sorry, I can't init DirectDraw";
constexpr const char* TEXT_COOPERATIVE_LEVEL_FAILED = "Sorry, I can't set the CooperativeLevel";
constexpr const char* TEXT_VIDEO_MODE_FAILED = "Sorry, I can't set this video mode";

// Bytes per pixel for a colour depth: 15 and 16 give 2, 24 gives 3, 32 gives 4, others 1.
int32_t bytes_per_pixel(int32_t bits_per_pixel);

// Copies the frame buffer into a locked surface of `rows` rows, each `row_bytes` long and
// `pitch` bytes apart; rows or bytes beyond either side are left alone.
void frame_copy_to(uint8_t* surface, int32_t pitch, int32_t row_bytes, int32_t rows);

// Frames per second for a QUORBELA_FPS setting: unset, empty or not a number gives 70 (the
// refresh of the 320 x 200 mode), 0 runs unpaced, N gives N (at most 1000).
int32_t frames_per_second(const char* setting);

// Bytes played, for a device whose own count is 32 bits and wraps (wave-out: every 6.7 hours
// at 44100 Hz): `reported` is the device's count now, `position` the 64-bit one widened from
// its last answer. The count only runs forward, and is read far more often than it wraps.
uint64_t widen_position(uint64_t position, uint32_t reported);

// Frame pacing for video_present: every animation counter of the show advances once per
// frame, so frames come at a steady rate instead of as fast as today's machines allow.
// pacing_start sets the rate (0: unpaced) and starts afresh; pace_frame waits until the next
// frame is due.
void pacing_start(int32_t frames_per_second);
void pace_frame();

// One keyboard read: `device_state` holds 256 bytes by scan code, bit 7 set while down, or is
// null when the read failed (key_state then keeps the last good snapshot). A close request
// always shows as Escape held.
void key_state_update(const uint8_t* device_state);
void key_state_clear();

void window_close_request();
void window_state_reset();  // forgets a close request and the window handle

// Each backend's part of the window rules kept in window.cpp: the pointer moved over the
// window, so keep it hidden (unless an error box has shown it).
void cursor_keep_hidden();

}  // namespace platform::backend
