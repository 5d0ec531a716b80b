// frame_test.cpp -- the frame buffer's size and row table, the surface copy, the frame rate
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/video.h"

namespace {

struct FrameCase {
    int32_t width, height, bits_per_pixel;
    uint32_t pitch;
};

class FrameAllocTest : public ::testing::TestWithParam<FrameCase> {
protected:
    void TearDown() override { platform::frame_free(); }
};

TEST_P(FrameAllocTest, SizeAndRowOffsetsFollowBytesPerPixel)
{
    const FrameCase c = GetParam();
    platform::frame_alloc(c.width, c.height, c.bits_per_pixel);
    EXPECT_EQ(platform::frame_size, c.pitch * static_cast<uint32_t>(c.height));
    ASSERT_NE(platform::frame_buffer, nullptr);
    for (int32_t y = 0; y < c.height; ++y) ASSERT_EQ(platform::frame_rows[y], y * c.pitch) << y;
    // The whole block is usable.
    std::memset(platform::frame_buffer, 0x5A, platform::frame_size);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, FrameAllocTest,
    ::testing::Values(FrameCase{320, 200, 16, 640}, FrameCase{320, 200, 15, 640},
                      FrameCase{320, 200, 24, 960}, FrameCase{320, 200, 32, 1280},
                      FrameCase{320, 200, 8, 320}, FrameCase{320, 200, 12, 320},
                      // only the low 8 bits of the depth count
                      FrameCase{320, 200, 0x110, 640}, FrameCase{7, 3, 24, 21}),
    [](const ::testing::TestParamInfo<FrameCase>& param_info) {
        const FrameCase& c = param_info.param;
        return std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
               std::to_string(c.bits_per_pixel);
    });

TEST(FrameTest, ShowFrameIs128000BytesWithRowsEndingAt127360)
{
    platform::frame_alloc(320, 200, 16);
    EXPECT_EQ(platform::frame_size, 128000u);
    EXPECT_EQ(platform::frame_rows[199], 127360u);
    platform::frame_free();
    EXPECT_EQ(platform::frame_buffer, nullptr);
}

TEST(FrameTest, RowTableNeverWritesPastItsCapacity)
{
    platform::frame_rows[platform::FRAME_ROW_CAPACITY - 1] = 0;
    platform::frame_alloc(1, 2500, 8);
    EXPECT_EQ(platform::frame_size, 2500u);
    EXPECT_EQ(platform::frame_rows[platform::FRAME_ROW_CAPACITY - 1],
              static_cast<uint32_t>(platform::FRAME_ROW_CAPACITY - 1));
    platform::frame_free();
}

TEST(FrameTest, CopyHonoursAPaddedSurfacePitch)
{
    platform::frame_alloc(4, 3, 16);  // 8-byte rows
    for (uint32_t i = 0; i < platform::frame_size; ++i)
        platform::frame_buffer[i] = static_cast<uint8_t>(i + 1);
    std::vector<uint8_t> surface(3 * 12, 0xEE);
    platform::backend::frame_copy_to(surface.data(), 12, 8, 3);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 12; ++x) {
            const uint8_t expected = x < 8 ? static_cast<uint8_t>(y * 8 + x + 1) : 0xEE;
            EXPECT_EQ(surface[y * 12 + x], expected) << y << "," << x;
        }
    }
    platform::frame_free();
}

TEST(FrameTest, CopyStopsAtTheSmallerOfFrameAndSurface)
{
    platform::frame_alloc(4, 4, 8);
    std::memset(platform::frame_buffer, 0x11, platform::frame_size);
    std::vector<uint8_t> surface(2 * 2, 0);
    platform::backend::frame_copy_to(surface.data(), 2, 2, 2);
    EXPECT_EQ(surface, std::vector<uint8_t>(4, 0x11));
    platform::frame_free();
    platform::backend::frame_copy_to(surface.data(), 2, 2, 2);  // no frame: nothing happens
}

TEST(FrameTest, FrameRateSetting)
{
    struct Case {
        const char* setting;
        int32_t rate;
    };
    const Case cases[] = {{nullptr, 70}, {"", 70},    {"0", 0},    {"60", 60},     {"144", 144},
                          {"-5", 70},    {"abc", 70}, {"12x", 70}, {"99999", 1000}};
    for (const Case& c : cases) {
        EXPECT_EQ(platform::backend::frames_per_second(c.setting), c.rate)
            << (c.setting != nullptr ? c.setting : "(unset)");
    }
}

}  // namespace
