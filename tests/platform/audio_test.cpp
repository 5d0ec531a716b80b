// audio_test.cpp -- the audio device choice and calls, and a device's 32-bit byte count widened so
// the position never wraps
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/audio.h"
#include "platform/backend.h"

namespace {

struct WidenCase {
    uint64_t position;
    uint32_t reported;
    uint64_t widened;
};

class WidenPositionTest : public ::testing::TestWithParam<WidenCase> {};

TEST_P(WidenPositionTest, FollowsTheCountAcrossWraps)
{
    const WidenCase c = GetParam();
    EXPECT_EQ(platform::backend::widen_position(c.position, c.reported), c.widened);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, WidenPositionTest,
    ::testing::Values(WidenCase{0, 0, 0},                             // nothing played yet
                      WidenCase{1000, 4528, 4528},                    // plain progress
                      WidenCase{0xFFFFFF00u, 0x40, 0x100000040u},     // the first wrap
                      WidenCase{0x100000040u, 0x1000, 0x100001000u},  // after it
                      WidenCase{0x3FFFFFFF0u, 0x10, 0x400000010u},    // a later wrap
                      WidenCase{0x200000000u + 500, 500, 0x200000000u + 500}));  // no move

// Hours of polling at the mixing thread's pace: the widened position is the true byte count.
TEST(WidenPosition, TenHoursAtFortyFourKilohertz)
{
    constexpr uint64_t BYTES_PER_POLL = 44100 * 4 / 500;  // a poll every 2 ms
    constexpr uint64_t POLLS = uint64_t{10} * 3600 * 500;
    uint64_t position = 0;
    uint64_t played = 0;
    for (uint64_t i = 0; i < POLLS; ++i) {
        played += BYTES_PER_POLL;
        position = platform::backend::widen_position(position, static_cast<uint32_t>(played));
    }
    EXPECT_EQ(position, played);
    EXPECT_GT(played, uint64_t{1} << 32);
}

// Two devices that count what is asked of them.
struct DeviceLog {
    int opens = 0;
    int closes = 0;
    int resets = 0;
    uint64_t position = 0;
};
DeviceLog first_log, second_log;

template <DeviceLog& log>
const platform::AudioDevice* counting_device()
{
    static const platform::AudioDevice device{
        [](int32_t, const uint8_t*, uint32_t) { return ++log.opens, true; },
        [] { return log.position; }, [] { ++log.resets; }, [] { ++log.closes; }, [] { return ""; }};
    return &device;
}

class AudioDeviceChoiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        first_log = {};
        second_log = {};
        first_log.position = 1000;
        second_log.position = 2000;
    }
    void TearDown() override
    {
        platform::audio_close();
        platform::audio_set_device(nullptr);
    }
    const platform::AudioDevice* first = counting_device<first_log>();
    const platform::AudioDevice* second = counting_device<second_log>();
    uint8_t ring[64] = {};
};

TEST_F(AudioDeviceChoiceTest, CallsGoToTheOpenDeviceAndAnotherChoiceIsRefusedMeanwhile)
{
    ASSERT_TRUE(platform::audio_set_device(first));
    ASSERT_TRUE(platform::audio_open(44100, ring, sizeof ring));
    EXPECT_TRUE(platform::audio_is_open());
    // Choosing another device while this one plays would leave it running on a ring nobody
    // owns once the sound closes through the new choice.
    EXPECT_FALSE(platform::audio_set_device(second));
    EXPECT_STRNE(platform::audio_error(), "");
    EXPECT_TRUE(platform::audio_set_device(first));  // the open one again is no change
    EXPECT_EQ(platform::audio_position(), 1000u);
    platform::audio_reset();
    platform::audio_close();
    EXPECT_EQ(first_log.resets, 1);
    EXPECT_EQ(first_log.closes, 1);
    EXPECT_EQ(second_log.closes, 0);
    EXPECT_FALSE(platform::audio_is_open());
    // Closed: the next choice is free, and a second close reaches nobody.
    EXPECT_TRUE(platform::audio_set_device(second));
    platform::audio_close();
    EXPECT_EQ(first_log.closes + second_log.closes, 1);
    EXPECT_EQ(platform::audio_position(), 2000u);
}

TEST_F(AudioDeviceChoiceTest, AFailedOpenLeavesNothingOpen)
{
    static const platform::AudioDevice refusing{
        [](int32_t, const uint8_t*, uint32_t) { return false; }, [] { return uint64_t{0}; }, [] {},
        [] { ++first_log.closes; }, [] { return "no sound here"; }};
    ASSERT_TRUE(platform::audio_set_device(&refusing));
    EXPECT_FALSE(platform::audio_open(44100, ring, sizeof ring));
    EXPECT_STREQ(platform::audio_error(), "no sound here");
    EXPECT_FALSE(platform::audio_is_open());
    EXPECT_TRUE(platform::audio_set_device(second));
}

}  // namespace
