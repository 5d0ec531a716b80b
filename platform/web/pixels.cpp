// pixels.cpp -- RGB565 to RGBA for the canvas
#include "platform/web/pixels.h"

namespace platform::web {

void rgb565_to_rgba(const uint8_t* source, uint8_t* destination, uint32_t pixels)
{
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint32_t p =
            static_cast<uint32_t>(source[2 * i]) | static_cast<uint32_t>(source[2 * i + 1]) << 8;
        const uint32_t r = p >> 11;
        const uint32_t g = (p >> 5) & 63;
        const uint32_t b = p & 31;
        destination[4 * i] = static_cast<uint8_t>(r << 3 | r >> 2);
        destination[4 * i + 1] = static_cast<uint8_t>(g << 2 | g >> 4);
        destination[4 * i + 2] = static_cast<uint8_t>(b << 3 | b >> 2);
        destination[4 * i + 3] = 255;
    }
}

}  // namespace platform::web
