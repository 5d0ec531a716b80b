// passes_test.cpp -- the mask fade, texture pass and cross-fade on hand-worked pixels

#include "shell/passes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "assets/assets.h"
#include "render/tables.h"
#include "render/warp.h"
#include "shell/offscreen.h"

namespace {

uint16_t rgb(int r, int g, int b)
{
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

class PassesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { shell::init_renderer(); }
    void SetUp() override { shell::reset_passes(); }
    uint16_t& pixel(int i) { return reinterpret_cast<uint16_t*>(platform::frame_buffer)[i]; }
    // The first pixel whose fade-mask byte is `value`, so a test works on the stored mask.
    static int mask_pixel(uint8_t value)
    {
        for (int i = 0; i < shell::FRAME_PIXELS; ++i) {
            if (assets::fade_mask[i] == value) return i;
        }
        return -1;
    }
    shell::OffscreenFrame frame_;
};

// The level stops one short of both ends: 81 going down, 254 going up.
TEST_F(PassesTest, MaskLevelStopsAt81AndAt254)
{
    for (int i = 0; i < 300; ++i) shell::mask_fade(shell::FadeDirection::DARKENING);
    EXPECT_EQ(shell::mask_level, 81);
    shell::mask_fade(shell::FadeDirection::BRIGHTENING);
    EXPECT_EQ(shell::mask_level, 82);
    for (int i = 0; i < 300; ++i) shell::mask_fade(shell::FadeDirection::BRIGHTENING);
    EXPECT_EQ(shell::mask_level, 254);
    // Brightening from the untouched 255 wraps to 0 (the byte rolls over and only 255 is
    // refused); the show never gets there, as scene 3 always darkens first.
    shell::reset_passes();
    shell::mask_fade(shell::FadeDirection::BRIGHTENING);
    EXPECT_EQ(shell::mask_level, 0);
}

TEST_F(PassesTest, MaskFadeDarkensByTheMaskByteAndTheLevel)
{
    // The stored mask runs from 4 to 201: its lowest value darkens first and most.
    const int lowest = mask_pixel(4);
    const int highest = mask_pixel(201);
    ASSERT_GE(lowest, 0);
    ASSERT_GE(highest, 0);
    frame_.fill(rgb(31, 63, 31));
    // Level 254: the largest d is 1 even for mask byte 1, too small to take anything off.
    shell::mask_fade(shell::FadeDirection::DARKENING);
    ASSERT_EQ(shell::mask_level, 254);
    for (int i = 0; i < shell::FRAME_PIXELS; ++i) ASSERT_EQ(pixel(i), rgb(31, 63, 31)) << i;

    // Level 81: mask byte 4 gives d = 252 - 81 = 171, so green loses 42 and red and blue 21.
    for (int i = 0; i < 300; ++i) shell::mask_fade(shell::FadeDirection::DARKENING);
    frame_.fill(rgb(31, 63, 31));
    shell::mask_fade(shell::FadeDirection::DARKENING);
    EXPECT_EQ(pixel(lowest), rgb(10, 21, 10));
    EXPECT_EQ(pixel(highest), rgb(31, 63, 31));  // 256 - 201 is below the level: untouched
    frame_.fill(rgb(5, 30, 0));
    shell::mask_fade(shell::FadeDirection::DARKENING);
    EXPECT_EQ(pixel(lowest), rgb(0, 0, 0));  // floored, not wrapped
}

TEST_F(PassesTest, CrossFadeWeightsAndSaturation)
{
    struct Case {
        shell::BlendWeights weights;
        uint8_t step_before;
        uint8_t limit;
        uint16_t frame, image, expected;
        uint8_t step_after;
    };
    const Case cases[] = {
        // Half weights at n = 15: a = 7, b = 8 (green 14 and 16); red and green saturate.
        {shell::BlendWeights::HALF, 14, 15, rgb(20, 40, 10), rgb(30, 60, 5), rgb(31, 63, 3), 14},
        // White on white at full weights, n = 16: each side keeps half, green 31 + 31.
        {shell::BlendWeights::FULL, 15, 31, rgb(31, 63, 31), rgb(31, 63, 31), rgb(30, 62, 30), 16},
        // Step 14 from scene 4 entering scene 5: n = 15 is used and stored under the new limit.
        {shell::BlendWeights::FULL, 14, 31, rgb(0, 0, 0), rgb(31, 63, 31), rgb(14, 29, 14), 15},
        // At the limit the stored step stays one below while n = 31 is used: the frame keeps
        // only 1 of green.
        {shell::BlendWeights::FULL, 30, 31, rgb(31, 63, 31), rgb(31, 63, 31), rgb(30, 62, 30), 30},
    };
    for (const Case& c : cases) {
        shell::blend_step = c.step_before;
        frame_.fill(c.frame);
        std::fill(std::begin(shell::blend_image), std::end(shell::blend_image), c.image);
        shell::cross_fade(c.weights, c.limit);
        EXPECT_EQ(pixel(1234), c.expected) << "step " << int(c.step_before);
        EXPECT_EQ(shell::blend_step, c.step_after);
    }
}

TEST_F(PassesTest, TexturePassReadsTheTextureThroughTheMap)
{
    render::warp_phase = 0x1234;
    shell::texture_pass(shell::TextureMode::PLAIN);
    const int i = 32100;
    const auto plain = static_cast<uint16_t>(assets::swirl_map[i] + 0x1234);
    EXPECT_EQ(shell::blend_image[i], render::warp_palette[assets::warp_texture[plain]]);

    // The swirl worked by hand for the same pixel: every sum wraps at 256.
    shell::texture_pass(shell::TextureMode::SWIRLED);
    const uint8_t* s = assets::sine_bytes;
    const int u = assets::swirl_map[i] & 255, v = assets::swirl_map[i] >> 8, pl = 0x34, ph = 0x12;
    const int s1 = s[(u + pl) & 255];
    const int s2 = s[(s1 + 2 * v + pl) & 255];
    const int a = ((s2 >> 3) + 2 * u) & 255;
    const int s4 = s[(s[ph] + u + pl) & 255];
    const int index = ((a + v) & 255) * 256 + (((s4 >> 2) + v) & 255);
    EXPECT_EQ(shell::blend_image[i], render::warp_palette[assets::warp_texture[index]]);
    EXPECT_EQ(render::warp_phase, 0x1234);  // the pass leaves the phase to the timeline
}

}  // namespace
