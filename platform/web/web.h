// web.h -- controls of the browser backend for the programs built on it: what happens after
// each frame, a scripted keyboard for the page's checks, and the sound device's pump
//
// The backend implements window.h, video.h and input.h on the page's canvas and keyboard
// (platform/web/library.js is the page side). video_present paces the frames by sleeping
// through ASYNCIFY, so the page stays responsive while the show's frame loop blocks.
#pragma once
#include <cstdint>

namespace platform::web {

// Called inside video_present after the frame is shown: its 16-bit pixels as presented, their
// size in bytes and its index (0 for the first frame). Null for none.
using PresentHook = void (*)(const uint8_t* pixels, uint32_t bytes, uint64_t index);
void set_present_hook(PresentHook hook);
uint64_t frames_presented();
// Milliseconds from the end of the previous video_present to the start of the last one: what
// drawing the frame took.
double drawing_ms();

// While scripted, the page's key events are ignored and only key_event moves the keys.
void script_keyboard(bool scripted);
void key_event(uint8_t scan_code, bool down);

// Tells the page that something happened: the name goes to the page's Module.onEvent, for its
// own script and its checks.
void tell_page(const char* event);

}  // namespace platform::web
