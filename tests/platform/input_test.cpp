// input_test.cpp -- key_state snapshots through the headless keyboard
#include "platform/input.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"
#include "platform/video.h"
#include "platform/window.h"

namespace {

namespace headless = platform::headless;
using platform::key_state;

std::vector<int32_t> keys_down()
{
    std::vector<int32_t> down;
    for (int32_t k = 0; k < platform::KEY_COUNT; ++k) {
        if (key_state[k] != 0) down.push_back(k);
    }
    return down;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::reset();
        platform::window_create();
        platform::input_open(platform::main_window);
    }
    void TearDown() override
    {
        platform::frame_free();
        platform::video_release();
        headless::reset();
    }
};

TEST_F(InputTest, OpenClearsAnEarlierSnapshot)
{
    key_state[platform::KEY_SPACE] = 1;
    EXPECT_TRUE(platform::input_open(platform::main_window));
    EXPECT_TRUE(keys_down().empty());
}

TEST_F(InputTest, SnapshotFollowsKeysDownAndUp)
{
    headless::key_event(platform::KEY_ESCAPE, true);
    platform::input_poll();
    EXPECT_EQ(keys_down(), std::vector<int32_t>{platform::KEY_ESCAPE});
    platform::input_poll();  // still held
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 1);

    headless::key_event(platform::KEY_LEFT_SHIFT, true);
    headless::key_event(platform::KEY_UP, true);
    headless::key_event(platform::KEY_ESCAPE, false);
    platform::input_poll();
    EXPECT_EQ(keys_down(), (std::vector<int32_t>{platform::KEY_LEFT_SHIFT, platform::KEY_UP}));

    headless::key_event(platform::KEY_LEFT_SHIFT, false);
    headless::key_event(platform::KEY_UP, false);
    platform::input_poll();
    EXPECT_TRUE(keys_down().empty());
}

TEST_F(InputTest, TapBetweenPollsShowsAtTheNextPollOnly)
{
    headless::key_event(platform::KEY_ESCAPE, true);
    headless::key_event(platform::KEY_ESCAPE, false);
    platform::input_poll();
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 1);
    platform::input_poll();
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 0);
}

TEST_F(InputTest, FailedPollKeepsThePreviousSnapshot)
{
    headless::key_event(platform::KEY_ESCAPE, true);
    platform::input_poll();
    headless::key_event(platform::KEY_ESCAPE, false);
    headless::key_event(platform::KEY_A, true);
    headless::fail_polls(2);
    platform::input_poll();
    platform::input_poll();
    EXPECT_EQ(keys_down(), std::vector<int32_t>{platform::KEY_ESCAPE});
    platform::input_poll();
    EXPECT_EQ(keys_down(), std::vector<int32_t>{platform::KEY_A});
}

TEST_F(InputTest, CloseRequestShowsAsEscapeHeldEvenWhenPollsFail)
{
    platform::input_poll();
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 0);
    EXPECT_TRUE(
        platform::window_procedure(platform::main_window, platform::WindowMessage::CLOSE_REQUEST));
    EXPECT_TRUE(platform::window_close_requested());
    headless::fail_polls(1);
    platform::input_poll();
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 1);
    platform::input_poll();
    platform::input_poll();
    EXPECT_EQ(key_state[platform::KEY_ESCAPE], 1);
}

TEST_F(InputTest, ScriptHoldsKeysOnTheGivenPresentedFrames)
{
    headless::set_key_script({{platform::KEY_ESCAPE, 2, 3}, {platform::KEY_SPACE, 0, 0}});
    platform::video_create();
    platform::video_set_mode(320, 200, 16);
    platform::frame_alloc(320, 200, 16);
    std::vector<int32_t> escape, space;
    for (int32_t frame = 0; frame < 6; ++frame) {
        platform::input_poll();
        escape.push_back(key_state[platform::KEY_ESCAPE]);
        space.push_back(key_state[platform::KEY_SPACE]);
        platform::video_present();
    }
    EXPECT_EQ(escape, (std::vector<int32_t>{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(space, (std::vector<int32_t>{1, 0, 0, 0, 0, 0}));
}

}  // namespace
