// frame_stand_in.cpp -- the frame buffer globals, until the platform library provides them
#include "platform/video.h"

namespace platform {
uint8_t* frame_buffer;
uint32_t frame_rows[FRAME_ROW_CAPACITY];
uint32_t frame_size;
}  // namespace platform
