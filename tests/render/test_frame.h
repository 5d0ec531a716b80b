// test_frame.h -- a 320 x 200 frame for renderer tests, with a guard band on both sides so
// a write outside the frame shows up as a failed check
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "platform/video.h"

namespace render_test {

constexpr uint32_t FRAME_BYTES = 320 * 200 * 2;
constexpr uint32_t GUARD = 4096;
constexpr uint8_t GUARD_BYTE = 0xA5;

class TestFrame {
public:
    TestFrame() : storage_(FRAME_BYTES + 2 * GUARD, GUARD_BYTE)
    {
        platform::frame_buffer = storage_.data() + GUARD;
        platform::frame_size = FRAME_BYTES;
        for (uint32_t y = 0; y < 200; ++y) platform::frame_rows[y] = y * 640;
        fill(0);
    }
    ~TestFrame() { platform::frame_buffer = nullptr; }
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;

    void fill(uint16_t value)
    {
        for (int32_t i = 0; i < 64000; ++i) set(i, value);
    }
    uint16_t at(int32_t x, int32_t y) const { return get(y * 320 + x); }
    void put(int32_t x, int32_t y, uint16_t value) { set(y * 320 + x, value); }
    uint16_t get(int32_t i) const
    {
        uint16_t v;
        std::memcpy(&v, platform::frame_buffer + 2 * i, 2);
        return v;
    }
    void set(int32_t i, uint16_t value) { std::memcpy(platform::frame_buffer + 2 * i, &value, 2); }
    uint8_t* address(int32_t x, int32_t y) { return platform::frame_buffer + y * 640 + 2 * x; }
    std::vector<uint16_t> pixels() const
    {
        std::vector<uint16_t> out(64000);
        std::memcpy(out.data(), platform::frame_buffer, FRAME_BYTES);
        return out;
    }
    bool guards_intact() const
    {
        auto untouched = [](const uint8_t* p) {
            return std::all_of(p, p + GUARD, [](uint8_t b) { return b == GUARD_BYTE; });
        };
        return untouched(storage_.data()) && untouched(storage_.data() + GUARD + FRAME_BYTES);
    }

private:
    std::vector<uint8_t> storage_;
};

// The zero-filled stand-in assets have no sine bytes; tests that need real content skip.
inline bool real_assets()
{
    return assets::sine_bytes[64] == 254;
}

// FNV-1a over the frame's bytes, for golden hashes.
inline uint64_t frame_hash()
{
    uint64_t h = 1469598103934665603ull;
    for (uint32_t i = 0; i < FRAME_BYTES; ++i) {
        h ^= platform::frame_buffer[i];
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace render_test
