// pixels.h -- RGB565 frames as the canvas takes them
#pragma once
#include <cstdint>

namespace platform::web {

// Writes `pixels` RGB565 pixels (little-endian, as the frame buffer holds them) as opaque
// RGBA bytes, each channel widened with its top bits repeated below, so that black stays 0 and
// full intensity becomes 255.
void rgb565_to_rgba(const uint8_t* source, uint8_t* destination, uint32_t pixels);

}  // namespace platform::web
