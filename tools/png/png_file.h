// png_file.h -- writing pictures as PNG files for the tools' previews
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pngfile {

// 8-bit pixels, `channels` bytes each (1: grey, 3: red, green, blue), rows top to bottom with
// no padding. False (errno set by the failing call) when the file cannot be written.
bool write(const std::string& path, const uint8_t* pixels, int width, int height, int channels);

// RGB565 pixels as the show's frame holds them, each channel widened to 8 bits.
bool write_rgb565(const std::string& path, const uint16_t* pixels, int width, int height);

}  // namespace pngfile
