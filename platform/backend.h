// backend.h -- the pieces the SDL and headless backends share; the show never includes this
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

// One keyboard read: `device_state` holds 256 bytes by scan code, bit 7 set while down, or is
// null when the read failed (key_state then keeps the last good snapshot). A close request
// always shows as Escape held.
void key_state_update(const uint8_t* device_state);
void key_state_clear();

void window_close_request();
void window_state_reset();  // forgets a close request and the window handle

}  // namespace platform::backend
