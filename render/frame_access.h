// frame_access.h -- bounds-checked pixel access to the frame buffer for the renderer's own
// drawing routines (not part of the public interface)
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/video.h"

namespace render::detail {

// Byte offset of address inside the frame buffer; anything else (including addresses
// before the buffer) comes out negative or beyond frame_size and is rejected by the checks.
inline int64_t frame_offset(const uint8_t* address)
{
    return static_cast<int64_t>(reinterpret_cast<uintptr_t>(address) -
                                reinterpret_cast<uintptr_t>(platform::frame_buffer));
}

inline bool pixel_inside(int64_t offset)
{
    return offset >= 0 && offset + 2 <= static_cast<int64_t>(platform::frame_size);
}

inline uint16_t read_pixel(int64_t offset)
{
    uint16_t value;
    std::memcpy(&value, platform::frame_buffer + offset, 2);
    return value;
}

inline void write_pixel(int64_t offset, uint16_t value)
{
    std::memcpy(platform::frame_buffer + offset, &value, 2);
}

}  // namespace render::detail
