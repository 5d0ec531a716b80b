// png.cpp -- preview pictures written with libpng
#include <png.h>

#include <cstdio>

#include "tools/assetgen/assetgen.h"

namespace assetgen {

namespace {

bool write_png(const std::string& path, const uint8_t* pixels, int width, int height, int colour_type, int channels)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colour_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // No time stamp or other varying chunks: the previews are as reproducible as the data.
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * static_cast<size_t>(channels));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

bool write_png_gray(const std::string& path, const Bytes& pixels, int width, int height)
{
    return write_png(path, pixels.data(), width, height, PNG_COLOR_TYPE_GRAY, 1);
}

bool write_png_rgb(const std::string& path, const Bytes& rgb, int width, int height)
{
    return write_png(path, rgb.data(), width, height, PNG_COLOR_TYPE_RGB, 3);
}

}  // namespace assetgen
