// video.h -- the 320 x 200 RGB565 frame buffer and its presentation on the display
//
// Pixel x of row y is the 16-bit value at frame_buffer + frame_rows[y] + 2 * x.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

constexpr int32_t FRAME_ROW_CAPACITY = 2000;

extern uint8_t* frame_buffer;                    // frame_size bytes, owned here
extern uint32_t frame_rows[FRAME_ROW_CAPACITY];  // byte offset of each row
extern uint32_t frame_size;                      // bytes

void video_create();  // ends the process on failure
void video_set_mode(int32_t width, int32_t height, int32_t bits_per_pixel);  // likewise
void frame_alloc(int32_t width, int32_t height, int32_t bits_per_pixel);
void frame_free();
void* video_lock();  // the back buffer's memory, or null
void video_unlock();
void video_blit();
void video_present();  // frame buffer to the screen, once per frame
void video_release();  // safe when nothing was created

// 64-bit FNV-1a of a frame's bytes: how captures and checks name a frame.
uint64_t frame_hash(const uint8_t* data, size_t size);

}  // namespace platform
