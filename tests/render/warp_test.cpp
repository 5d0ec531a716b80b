// warp_test.cpp -- the warp's phase and the grain blur

#include "render/warp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "render/tables.h"
#include "test_frame.h"

namespace {

class WarpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { render::init_warp(); }
    void SetUp() override
    {
        render::warp_phase = 0;
        render::grain_phase = 0;
    }

    // The grain the next grain_blur adds to frame byte k.
    static uint8_t grain_for(int32_t k)
    {
        return assets::grain_block[((65052 + render::grain_phase) & 0xFFFF) + k] >> 5;
    }

    render_test::TestFrame frame;
};

TEST_F(WarpTest, PhaseFallsBy0x0505PerCall)
{
    render::draw_warp();
    EXPECT_EQ(render::warp_phase, 0xFAFB);
    for (int32_t k = 1; k < 256; ++k) render::draw_warp();
    EXPECT_EQ(render::warp_phase, static_cast<uint16_t>(0 - 0x0500));
}

TEST_F(WarpTest, MapValueZeroShowsRow127Column0)
{
    if (!render_test::real_assets()) GTEST_SKIP() << "needs the generated assets";
    render::draw_warp();
    EXPECT_EQ(render::warp_map[0], 0);
    EXPECT_EQ(frame.at(0, 0), render::warp_palette[assets::warp_texture[127 * 256]]);
}

TEST_F(WarpTest, GrainPhaseAdvancesBy768)
{
    render::grain_phase = 65000;
    render::grain_blur();
    EXPECT_EQ(render::grain_phase, static_cast<uint16_t>(65000 + 768));
}

TEST_F(WarpTest, GrainBlurLeavesRowZeroUnblurred)
{
    std::mt19937 rng(11);
    for (int32_t i = 0; i < 64000; ++i) frame.set(i, static_cast<uint16_t>(rng()));
    render::grain_phase = 0x1234;
    std::vector<uint8_t> expected(render_test::FRAME_BYTES);
    for (int32_t k = 0; k < static_cast<int32_t>(expected.size()); ++k)
        expected[k] = static_cast<uint8_t>(platform::frame_buffer[k] + grain_for(k));
    render::grain_blur();
    auto pixel_of = [&](int32_t i) {
        return static_cast<uint16_t>(expected[2 * i] | expected[2 * i + 1] << 8);
    };
    for (int32_t i = 0; i <= 320; ++i) ASSERT_EQ(frame.get(i), pixel_of(i)) << i;
    for (int32_t i = 63681; i < 64000; ++i) ASSERT_EQ(frame.get(i), pixel_of(i)) << i;
    // Everything between is grey: red b, green 2b, blue b.
    for (int32_t i = 321; i <= 63680; ++i) {
        const uint16_t p = frame.get(i);
        const uint16_t b = p & 31;
        ASSERT_EQ(p, (b << 11) | (2 * b << 5) | b) << i;
    }
}

TEST_F(WarpTest, OnlyBlueFeedsTheBlur)
{
    std::mt19937 rng(3);
    std::vector<uint16_t> blue(64000);
    for (uint16_t& b : blue) b = static_cast<uint16_t>(rng() & 31);
    for (int32_t i = 0; i < 64000; ++i) frame.set(i, blue[i]);
    render::grain_blur();
    const std::vector<uint16_t> plain = frame.pixels();

    render::grain_phase = 0;
    for (int32_t i = 0; i < 64000; ++i)
        frame.set(i, static_cast<uint16_t>(blue[i] | (rng() & 0xFFE0)));
    render::grain_blur();
    for (int32_t i = 321; i <= 63680; ++i) ASSERT_EQ(frame.get(i), plain[i]) << i;
}

TEST_F(WarpTest, AllBlackBecomesDarkGreyNoise)
{
    if (!render_test::real_assets()) GTEST_SKIP() << "needs the generated assets";
    frame.fill(0);
    render::grain_blur();
    int32_t distinct[32] = {};
    for (int32_t i = 321; i <= 63680; ++i) {
        const uint16_t b = frame.get(i) & 31;
        ASSERT_LE(b, 7);
        ++distinct[b];
    }
    int32_t levels = 0;
    for (int32_t n : distinct) levels += n > 0;
    EXPECT_GE(levels, 3);
}

}  // namespace

namespace {

void place_intro_picture()
{
    for (int32_t i = 0; i < 64000; ++i) {
        const uint16_t p = assets::intro_picture[i] >> 4;
        std::memcpy(platform::frame_buffer + 2 * i, &p, 2);
    }
}

// Pins the whole warp path on the generated content: the map's u and v, the sine rows, the
// negated columns, the texture's 16-bit addressing and the palette; the third frame also
// pins the phase stepping with its borrow from p_lo into p_hi.
TEST_F(WarpTest, GoldenWarpFrames)
{
    if (!render_test::real_assets()) GTEST_SKIP() << "needs the generated assets";
    render::draw_warp();
    EXPECT_EQ(render_test::frame_hash(), 0x0df7e369201cdb42u)
        << std::hex << render_test::frame_hash();
    render::draw_warp();
    render::draw_warp();
    EXPECT_EQ(render_test::frame_hash(), 0x5656f7d34834017du)
        << std::hex << render_test::frame_hash();
}

// Pins the in-place blur over the intro picture as scene 1 shows it. The grain is taken
// out beforehand, so the hash does not follow the music module's bytes in the grain block;
// GrainBlurLeavesRowZeroUnblurred pins the grain itself.
TEST_F(WarpTest, GoldenBlurOfTheIntroPicture)
{
    if (!render_test::real_assets()) GTEST_SKIP() << "needs the generated assets";
    place_intro_picture();
    render::grain_phase = 768;
    for (int32_t k = 0; k < static_cast<int32_t>(render_test::FRAME_BYTES); ++k)
        platform::frame_buffer[k] = static_cast<uint8_t>(platform::frame_buffer[k] - grain_for(k));
    render::grain_blur();
    EXPECT_EQ(frame.get(0), assets::intro_picture[0] >> 4);
    EXPECT_EQ(render_test::frame_hash(), 0x67ebf28b8d5c8817u)
        << std::hex << render_test::frame_hash();
}

}  // namespace
