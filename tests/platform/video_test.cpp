// video_test.cpp -- presenting through the headless backend: locks, sink, release, failures
#include "platform/video.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/window.h"

namespace {

namespace headless = platform::headless;
using headless::LockResult;

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override
    {
        platform::frame_free();
        platform::video_release();
        headless::reset();
    }
    static void start_up()
    {
        platform::window_create();
        platform::video_create();
        platform::video_set_mode(320, 200, 16);
        platform::frame_alloc(320, 200, 16);
    }
    static void fill_frame(uint8_t value)
    {
        std::memset(platform::frame_buffer, value, platform::frame_size);
    }
};

TEST_F(VideoTest, PresentHandsTheWholeFrameToTheSink)
{
    std::vector<uint64_t> indices;
    headless::set_frame_sink([&](const headless::Frame& frame) {
        EXPECT_EQ(frame.width, 320);
        EXPECT_EQ(frame.height, 200);
        EXPECT_EQ(frame.pitch, 640);
        EXPECT_EQ(frame.bits_per_pixel, 16);
        EXPECT_EQ(std::memcmp(frame.pixels, platform::frame_buffer, platform::frame_size), 0);
        indices.push_back(frame.index);
    });
    start_up();
    fill_frame(0x21);
    platform::video_present();
    const uint64_t first_hash = headless::last_frame_hash();
    fill_frame(0x42);
    platform::video_present();
    EXPECT_EQ(indices, (std::vector<uint64_t>{0, 1}));
    EXPECT_EQ(headless::frames_presented(), 2u);
    EXPECT_NE(headless::last_frame_hash(), first_hash);
    EXPECT_EQ(headless::last_frame_hash(),
              headless::frame_hash(platform::frame_buffer, platform::frame_size));
}

TEST_F(VideoTest, StillDrawingLockIsRetriedUntilItSucceeds)
{
    start_up();
    fill_frame(0x33);
    headless::queue_lock_results(
        {LockResult::STILL_DRAWING, LockResult::STILL_DRAWING, LockResult::OK});
    platform::video_present();
    EXPECT_EQ(headless::lock_attempts(), 3);
    EXPECT_EQ(headless::last_frame(), std::vector<uint8_t>(128000, 0x33));
}

TEST_F(VideoTest, FailedLockSkipsTheCopyAndShowsThePreviousPicture)
{
    start_up();
    fill_frame(0x10);
    platform::video_present();
    fill_frame(0x77);
    headless::queue_lock_results({LockResult::STILL_DRAWING, LockResult::FAILED});
    platform::video_present();
    EXPECT_EQ(headless::frames_presented(), 2u);
    EXPECT_EQ(headless::last_frame(), std::vector<uint8_t>(128000, 0x10));
    platform::video_present();  // the next lock works again
    EXPECT_EQ(headless::last_frame(), std::vector<uint8_t>(128000, 0x77));
}

TEST_F(VideoTest, PaddedSurfaceGetsEveryRowInPlace)
{
    headless::set_surface_padding(16);
    start_up();
    for (int32_t y = 0; y < 200; ++y)
        std::memset(platform::frame_buffer + platform::frame_rows[y], y, 640);
    platform::video_present();
    const std::vector<uint8_t>& shown = headless::last_frame();
    ASSERT_EQ(shown.size(), 656u * 200u);
    for (int32_t y = 0; y < 200; ++y) {
        ASSERT_EQ(shown[y * 656], y);
        ASSERT_EQ(shown[y * 656 + 639], y);
        ASSERT_EQ(shown[y * 656 + 640], 0);  // padding untouched
    }
}

TEST_F(VideoTest, ReleaseIsSafeAtEveryStageOfStartUp)
{
    platform::video_release();  // nothing created
    EXPECT_FALSE(headless::display_state().device);

    platform::window_create();
    platform::video_create();  // start-up stopped before the mode was set
    EXPECT_TRUE(headless::display_state().device);
    EXPECT_FALSE(headless::display_state().surfaces);
    platform::video_release();
    EXPECT_FALSE(headless::display_state().device);
    EXPECT_FALSE(headless::display_state().surfaces);

    platform::video_create();
    platform::video_set_mode(320, 200, 16);
    platform::video_release();
    platform::video_release();
    EXPECT_FALSE(headless::display_state().device);
    EXPECT_FALSE(headless::display_state().surfaces);
    platform::video_present();  // after release: no frame, no crash
    EXPECT_EQ(headless::frames_presented(), 0u);
}

struct FailureCase {
    const char* name;
    headless::DisplayFailure failure;
    const char* text;
};

class DisplayFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DisplayFailureTest, ShowsItsTextAndExitsWithCodeZero)
{
    const FailureCase c = GetParam();
    const std::string expected = std::string("MORVA Q-ENGINE V2\\.2: ") + c.text;
    EXPECT_EXIT(
        {
            headless::reset();
            headless::fail_display(c.failure);
            platform::window_create();
            platform::video_create();
            platform::video_set_mode(320, 200, 16);
            platform::frame_alloc(320, 200, 16);
            std::fputs("start-up went on", stderr);
        },
        ::testing::ExitedWithCode(0), expected);
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, DisplayFailureTest,
    ::testing::Values(FailureCase{"Init", headless::DisplayFailure::INIT,
                                  "Sorry, I can't init DirectDraw"},
                      FailureCase{"CooperativeLevel", headless::DisplayFailure::COOPERATIVE_LEVEL,
                                  "Sorry, I can't set the CooperativeLevel"},
                      FailureCase{"VideoMode", headless::DisplayFailure::VIDEO_MODE,
                                  "Sorry, I can't set this video mode"}),
    [](const ::testing::TestParamInfo<FailureCase>& param_info) {
        return std::string(param_info.param.name);
    });

}  // namespace
