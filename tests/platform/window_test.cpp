// window_test.cpp -- the headless window: cursor, messages, error box and fatal_error
#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless.h"

namespace {

namespace headless = platform::headless;
using platform::WindowMessage;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override
    {
        platform::show_command = platform::SHOW_NORMAL;
        headless::reset();
    }
};

TEST_F(WindowTest, CreateHidesTheCursorAndErrorBoxShowsIt)
{
    platform::window_create();
    EXPECT_NE(platform::main_window, nullptr);
    EXPECT_TRUE(headless::window_visible());
    EXPECT_FALSE(headless::cursor_visible());
    ::testing::internal::CaptureStderr();
    platform::error_box("something went wrong");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "MORVA Q-ENGINE V2.2: something went wrong\n");
    EXPECT_TRUE(headless::cursor_visible());
    EXPECT_STREQ(headless::last_error(), "something went wrong");
}

TEST_F(WindowTest, HiddenShowCommandKeepsTheWindowHidden)
{
    platform::show_command = platform::SHOW_HIDE;
    platform::window_create();
    EXPECT_FALSE(headless::window_visible());
}

TEST_F(WindowTest, OnlyCloseAndDestroyCountAsCloseRequests)
{
    platform::window_create();
    EXPECT_TRUE(platform::window_procedure(platform::main_window, WindowMessage::SET_CURSOR));
    EXPECT_FALSE(platform::window_procedure(platform::main_window, WindowMessage::OTHER));
    EXPECT_FALSE(platform::window_close_requested());
    EXPECT_FALSE(platform::window_procedure(platform::main_window, WindowMessage::DESTROY));
    EXPECT_TRUE(platform::window_close_requested());
}

TEST_F(WindowTest, WindowQuitPostsACloseRequest)
{
    platform::window_create();
    platform::window_quit();
    EXPECT_TRUE(platform::window_close_requested());
}

TEST(WindowDeathTest, FatalErrorExitsWithCodeZeroWithoutRunningExitHandlers)
{
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("shut-down ran", stderr); });
            platform::fatal_error("Sorry, I can't set this video mode");
        },
        ::testing::ExitedWithCode(0),
        "^MORVA Q-ENGINE V2\\.2: Sorry, I can't set this video mode\n$");
}

}  // namespace
