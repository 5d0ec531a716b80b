// frame.cpp -- the software frame buffer and its row-offset table, shared by every backend
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/backend.h"
#include "platform/video.h"

namespace platform {

uint8_t* frame_buffer = nullptr;
uint32_t frame_rows[FRAME_ROW_CAPACITY] = {};
uint32_t frame_size = 0;

namespace {

struct FrameLayout {
    int32_t pitch = 0;
    int32_t height = 0;
};
FrameLayout layout;

}  // namespace

int32_t backend::bytes_per_pixel(int32_t bits_per_pixel)
{
    switch (bits_per_pixel & 0xFF) {
    case 15:
    case 16:
        return 2;
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        return 1;
    }
}

void frame_alloc(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    frame_free();
    width = std::max(width, 0);
    height = std::max(height, 0);
    const int32_t pitch = width * backend::bytes_per_pixel(bits_per_pixel);
    frame_size = static_cast<uint32_t>(height) * static_cast<uint32_t>(pitch);
    // Zero-filled rather than left as it comes: a frame shown before the first scene has drawn
    // is then black, and offline captures do not depend on what the heap held.
    frame_buffer = frame_size != 0 ? new uint8_t[frame_size]() : nullptr;
    layout = {pitch, height};
    // The table has room for FRAME_ROW_CAPACITY rows; taller frames get no offsets past that.
    const int32_t rows = std::min(height, FRAME_ROW_CAPACITY);
    for (int32_t y = 0; y < rows; ++y)
        frame_rows[y] = static_cast<uint32_t>(y) * static_cast<uint32_t>(pitch);
}

void frame_free()
{
    delete[] frame_buffer;
    frame_buffer = nullptr;
    layout = {};
}

void backend::frame_copy_to(uint8_t* surface, int32_t pitch, int32_t row_bytes, int32_t rows)
{
    if (surface == nullptr || frame_buffer == nullptr) return;
    const int32_t copy_rows = std::min(rows, layout.height);
    const int32_t copy_bytes = std::min(row_bytes, layout.pitch);
    if (copy_rows <= 0 || copy_bytes <= 0) return;
    if (pitch == layout.pitch && copy_bytes == layout.pitch) {
        // The usual case: both sides unpadded, one transfer of the whole frame.
        std::memcpy(surface, frame_buffer,
                    static_cast<size_t>(copy_rows) * static_cast<size_t>(pitch));
        return;
    }
    for (int32_t y = 0; y < copy_rows; ++y) {
        std::memcpy(surface + static_cast<std::ptrdiff_t>(y) * pitch,
                    frame_buffer + static_cast<std::ptrdiff_t>(y) * layout.pitch,
                    static_cast<size_t>(copy_bytes));
    }
}

uint64_t frame_hash(const uint8_t* data, size_t size)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

int32_t backend::frames_per_second(const char* setting)
{
    constexpr int32_t DEFAULT_RATE = 70;
    constexpr int32_t MAX_RATE = 1000;
    if (setting == nullptr || *setting == '\0') return DEFAULT_RATE;
    int32_t rate = 0;
    for (const char* c = setting; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return DEFAULT_RATE;
        rate = std::min(rate * 10 + (*c - '0'), MAX_RATE);
    }
    return rate;
}

}  // namespace platform
