// flash_test.cpp -- the general-flash test on hand-made frame sequences

#include "tools/flash/flash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32_t WIDTH = 320;
constexpr int32_t HEIGHT = 200;
constexpr uint16_t BLACK = 0x0000;
constexpr uint16_t WHITE = 0xFFFF;
constexpr uint16_t GREY_86 = 0xEF7D;  // (29, 59, 29): relative luminance 0.863
constexpr uint16_t GREY_78 = 0xE71C;  // (28, 56, 28): 0.777
constexpr uint16_t GREY_23 = 0x8410;  // (16, 32, 16): 0.225

TEST(LuminanceTest, FollowsSrgbWeightsAfterWideningAndLinearising)
{
    const struct {
        uint16_t pixel;
        double luminance;
    } cases[] = {{BLACK, 0.0},     {WHITE, 1.0},       {0xF800, 0.2126},   {0x07E0, 0.7152},
                 {0x001F, 0.0722}, {GREY_23, 0.22537}, {GREY_78, 0.77697}, {GREY_86, 0.86316}};
    for (const auto& c : cases)
        EXPECT_NEAR(flash::luminance(c.pixel), c.luminance, 1e-4) << std::hex << c.pixel;
}

// The pixel at (x, y) of frame n.
using Picture = std::function<uint16_t(int32_t n, int32_t x, int32_t y)>;

struct Sequence {
    std::string name;
    int32_t fps;
    int32_t frames;
    Picture picture;
    int32_t flashes;  // the most in any one second
};

void PrintTo(const Sequence& s, std::ostream* os)
{
    *os << s.name;
}

// Every frame of the sequence through the meter; the busiest second of the whole run.
flash::Second busiest(const Sequence& s)
{
    flash::FlashMeter meter(WIDTH, HEIGHT);
    std::vector<uint16_t> frame(static_cast<size_t>(WIDTH) * HEIGHT);
    std::vector<bool> changed;
    for (int32_t n = 0; n < s.frames; ++n) {
        for (int32_t y = 0; y < HEIGHT; ++y) {
            for (int32_t x = 0; x < WIDTH; ++x)
                frame[static_cast<size_t>(y * WIDTH + x)] = s.picture(n, x, y);
        }
        changed.push_back(
            meter.add_frame(reinterpret_cast<const uint8_t*>(frame.data()), WIDTH * 2));
    }
    return flash::busiest_second(changed, 0, changed.size(), s.fps);
}

// On for `on` frames, off for as many, over and over.
bool blinking(int32_t n, int32_t on)
{
    return (n / on) % 2 == 0;
}

// A fixed scramble of the pixel's place and the frame, 0 .. 255.
uint32_t noise(int32_t n, int32_t x, int32_t y)
{
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^
                 static_cast<uint32_t>(n) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return (h ^ (h >> 15)) & 255;
}

// A grey of the given 5-bit level.
uint16_t grey(int32_t level)
{
    const auto v = static_cast<uint16_t>(level);
    return static_cast<uint16_t>(v << 11 | (2 * v + (v >> 4)) << 5 | v);
}

class FlashSequenceTest : public testing::TestWithParam<Sequence> {};

TEST_P(FlashSequenceTest, MostFlashesInAnyOneSecond)
{
    EXPECT_EQ(busiest(GetParam()).flashes, GetParam().flashes);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, FlashSequenceTest,
    testing::Values(
        // A 15 Hz black/white alternation of the whole screen: 30 changes, 15 flashes a second,
        // whatever the frame rate.
        Sequence{"whole_screen_15hz_at_30fps", 30, 60,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 1) ? WHITE : BLACK; }, 15},
        Sequence{"whole_screen_15hz_at_60fps", 60, 120,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 2) ? WHITE : BLACK; }, 15},
        // 3 Hz is at the limit, not over it.
        Sequence{"whole_screen_3hz", 60, 120,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 10) ? WHITE : BLACK; }, 3},
        // A 100 x 100 square is under a quarter of the screen (16000 pixels): no flash at all;
        // 176 x 100 is over it and flashes as the whole screen does.
        Sequence{"square_under_a_quarter", 30, 60,
                 [](int32_t n, int32_t x, int32_t y) {
                     return x < 100 && y < 100 && blinking(n, 1) ? WHITE : BLACK;
                 },
                 0},
        Sequence{"square_over_a_quarter", 30, 60,
                 [](int32_t n, int32_t x, int32_t y) {
                     return x < 176 && y < 100 && blinking(n, 1) ? WHITE : BLACK;
                 },
                 15},
        // Two halves in turn: the combined area flashes, though the screen's mean never moves.
        Sequence{"halves_in_opposite_phase", 30, 60,
                 [](int32_t n, int32_t x, int32_t) {
                     return blinking(n, 1) == (x < 160) ? WHITE : BLACK;
                 },
                 15},
        // Black to white and back over two seconds, three times: one change each way per fade.
        Sequence{"slow_fade", 70, 420,
                 [](int32_t n, int32_t, int32_t) {
                     const int32_t phase = n % 140;
                     return grey((phase < 70 ? phase : 140 - phase) * 31 / 70);
                 },
                 1},
        // Both ends light: the darker one must be below 0.8 for a change to count.
        Sequence{"light_grey_and_white", 30, 60,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 1) ? WHITE : GREY_86; }, 0},
        Sequence{"darker_grey_and_white", 30, 60,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 1) ? WHITE : GREY_78; }, 15},
        // Swings smaller than a step: 0.225 against 0.30.
        Sequence{"small_swings", 30, 60,
                 [](int32_t n, int32_t, int32_t) { return blinking(n, 1) ? grey(18) : GREY_23; },
                 0},
        // Motion is not flashing: 16-pixel stripes sliding 4 pixels a frame brighten an eighth of
        // the screen and darken another eighth on every frame.
        Sequence{"sliding_stripes", 30, 60,
                 [](int32_t n, int32_t x, int32_t) {
                     return ((x + 4 * n) / 16) % 2 == 0 ? WHITE : BLACK;
                 },
                 0},
        // Grain: every pixel of a mid grey jumps at random by up to a quarter of full scale on
        // every frame, but no quarter of the screen moves together.
        Sequence{"grain", 30, 60,
                 [](int32_t n, int32_t x, int32_t y) {
                     return grey(12 + static_cast<int32_t>(noise(n, x, y) % 8));
                 },
                 0}),
    [](const testing::TestParamInfo<Sequence>& sequence) { return sequence.param.name; });

// Where a whole-screen flash run sits in a longer quiet run: the busiest second is the first
// one holding it all, and seconds near the end are cut short rather than dropped.
TEST(BusiestSecondTest, FindsTheFirstSecondWithTheMostChanges)
{
    std::vector<bool> changed(100, false);
    for (size_t f : {40u, 45u, 50u, 55u, 60u, 65u}) changed[f] = true;  // 6 changes: 3 flashes
    const flash::Second whole = flash::busiest_second(changed, 0, changed.size(), 30);
    EXPECT_EQ(whole.flashes, 3);
    EXPECT_EQ(whole.first_frame, 36u);  // frames 36 .. 65 are the first second holding all six
    // Only seconds that start in [50, 100) count here.
    const flash::Second late = flash::busiest_second(changed, 50, changed.size(), 30);
    EXPECT_EQ(late.flashes, 2);
    EXPECT_EQ(late.first_frame, 50u);
    const std::vector<bool> tail = {false, true, true, true};  // shorter than a second
    EXPECT_EQ(flash::busiest_second(tail, 0, tail.size(), 30).flashes, 1);
    EXPECT_EQ(flash::busiest_second(tail, 4, tail.size(), 30).flashes,
              0);  // no second starts there
}

}  // namespace
