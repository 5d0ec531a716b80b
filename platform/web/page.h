// page.h -- the page side of the browser backend: the functions platform/web/library.js gives
#pragma once
#include <cstdint>

extern "C" {

// Canvas
int web_canvas_open(int32_t width, int32_t height);  // 0 without a canvas
void web_canvas_show(const uint8_t* rgba, int32_t width, int32_t height);
void web_error_box(const char* text);
// Tells the page that something happened ("show-ended", ...): Module.onEvent(name).
void web_page_event(const char* name);

// Keyboard: key events reach web_key_event (input.cpp) from here on.
void web_keyboard_open();

// Sound (Module.sound, platform/web/sound.js)
int web_sound_open(int32_t rate, uint32_t ring_bytes);  // 0: no sound
double web_sound_position();                            // bytes played since open
void web_sound_write(uint32_t offset, const uint8_t* bytes, uint32_t length);
void web_sound_pause(int paused);
void web_sound_close();
}
