// png_file.cpp -- writing pictures as PNG files with libpng
#include "tools/png/png_file.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace pngfile {

bool write(const std::string& path, const uint8_t* pixels, int width, int height, int channels)
{
    if (width <= 0 || height <= 0 || (channels != 1 && channels != 3)) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // No time stamp or other varying chunks: a preview is as reproducible as its pixels.
    png_write_info(png, info);
    const size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + static_cast<size_t>(y) * row_bytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool write_rgb565(const std::string& path, const uint16_t* pixels, int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        rgb[3 * i] = static_cast<uint8_t>(r << 3 | r >> 2);
        rgb[3 * i + 1] = static_cast<uint8_t>(g << 2 | g >> 4);
        rgb[3 * i + 2] = static_cast<uint8_t>(b << 3 | b >> 2);
    }
    return write(path, rgb.data(), width, height, 3);
}

}  // namespace pngfile
