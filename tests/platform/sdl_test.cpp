// sdl_test.cpp -- the SDL backend under SDL's dummy driver: start-up, presenting, keys,
// close requests and the start-up failures; the SDL sound device and the process's stderr
#include "platform/sdl/sdl.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/backend.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/input.h"
#include "platform/video.h"
#include "platform/window.h"

namespace {

// Before any SDL call: no real display (the dummy driver loads no GL libraries, which would
// leave leak reports under the sanitizers) and no pacing.
const bool environment_ready = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("QUORBELA_FPS", "0", 1);
    return true;
}();

// A box could only be shown on a display: without one, the text goes to stderr. No session
// either: nothing but that one line may reach stderr even then.
void forget_display()
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_RUNTIME_DIR");
}

void fill_frame(uint16_t colour)
{
    auto* pixels = reinterpret_cast<uint16_t*>(platform::frame_buffer);
    for (uint32_t i = 0; i < platform::frame_size / 2; ++i) pixels[i] = colour;
}

void shut_down()
{
    platform::frame_free();
    platform::video_release();
    platform::window_quit();
    platform::backend::window_state_reset();
    platform::show_command = platform::SHOW_NORMAL;
}

TEST(SdlBackendTest, StartsUpPresentsAndShutsDown)
{
    ASSERT_TRUE(environment_ready);
    platform::window_create();
    ASSERT_NE(platform::main_window, nullptr);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    platform::input_open(platform::main_window);
    platform::video_create();
    platform::video_set_mode(320, 200, 16);
    platform::frame_alloc(320, 200, 16);
    auto* window = static_cast<SDL_Window*>(platform::main_window);
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_NE(platform::video_lock(), nullptr);
    platform::video_unlock();
    fill_frame(0xF800);
    for (int frame = 0; frame < 3; ++frame) {
        platform::input_poll();
        platform::video_present();
    }
    EXPECT_EQ(platform::key_state[platform::KEY_ESCAPE], 0);
    platform::frame_free();
    platform::video_release();
    platform::video_release();
    EXPECT_EQ(platform::video_lock(), nullptr);
    platform::video_present();  // nothing left to present to
    platform::window_quit();
    EXPECT_EQ(platform::main_window, nullptr);
    shut_down();
}

TEST(SdlBackendTest, TapBetweenPollsAndCloseRequestReachKeyState)
{
    platform::window_create();
    platform::input_open(platform::main_window);
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    SDL_PushEvent(&event);
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_UP;
    SDL_PushEvent(&event);
    platform::input_poll();
    EXPECT_EQ(platform::key_state[platform::KEY_ESCAPE], 1);
    EXPECT_EQ(platform::key_state[platform::KEY_UP], 1);
    platform::input_poll();
    EXPECT_EQ(platform::key_state[platform::KEY_ESCAPE], 0);

    event = {};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    platform::input_poll();
    EXPECT_TRUE(platform::window_close_requested());
    platform::input_poll();
    EXPECT_EQ(platform::key_state[platform::KEY_ESCAPE], 1);
    shut_down();
}

TEST(SdlBackendTest, ScanCodesFollowThePcSet)
{
    struct Case {
        SDL_Scancode scancode;
        uint8_t pc_code;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},      {SDL_SCANCODE_1, 0x02},
        {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_BACKSPACE, 0x0E},
        {SDL_SCANCODE_Q, 0x10},           {SDL_SCANCODE_P, 0x19},
        {SDL_SCANCODE_RETURN, 0x1C},      {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_A, 0x1E},           {SDL_SCANCODE_L, 0x26},
        {SDL_SCANCODE_GRAVE, 0x29},       {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_Z, 0x2C},           {SDL_SCANCODE_M, 0x32},
        {SDL_SCANCODE_SLASH, 0x35},       {SDL_SCANCODE_RSHIFT, 0x36},
        {SDL_SCANCODE_LALT, 0x38},        {SDL_SCANCODE_SPACE, 0x39},
        {SDL_SCANCODE_F1, 0x3B},          {SDL_SCANCODE_F10, 0x44},
        {SDL_SCANCODE_F11, 0x57},         {SDL_SCANCODE_F12, 0x58},
        {SDL_SCANCODE_KP_7, 0x47},        {SDL_SCANCODE_KP_0, 0x52},
        {SDL_SCANCODE_KP_PERIOD, 0x53},   {SDL_SCANCODE_KP_ENTER, 0x9C},
        {SDL_SCANCODE_RCTRL, 0x9D},       {SDL_SCANCODE_KP_DIVIDE, 0xB5},
        {SDL_SCANCODE_RALT, 0xB8},        {SDL_SCANCODE_HOME, 0xC7},
        {SDL_SCANCODE_UP, 0xC8},          {SDL_SCANCODE_PAGEUP, 0xC9},
        {SDL_SCANCODE_LEFT, 0xCB},        {SDL_SCANCODE_RIGHT, 0xCD},
        {SDL_SCANCODE_END, 0xCF},         {SDL_SCANCODE_DOWN, 0xD0},
        {SDL_SCANCODE_PAGEDOWN, 0xD1},    {SDL_SCANCODE_INSERT, 0xD2},
        {SDL_SCANCODE_DELETE, 0xD3},      {SDL_SCANCODE_LGUI, 0xDB},
        {SDL_SCANCODE_APPLICATION, 0xDD}, {SDL_SCANCODE_UNKNOWN, 0x00},
        {SDL_SCANCODE_F24, 0x00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::sdl::pc_scan_code(c.scancode), c.pc_code)
            << SDL_GetScancodeName(c.scancode);
    }
    // No two keys of the main block share a code.
    std::vector<int> owners(platform::KEY_COUNT, 0);
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_KP_PERIOD; ++s) {
        if (s == SDL_SCANCODE_NONUSHASH) continue;  // the ISO key in the backslash position
        const uint8_t code = platform::sdl::pc_scan_code(static_cast<SDL_Scancode>(s));
        ASSERT_NE(code, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(s));
        EXPECT_EQ(owners[code]++, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(s));
    }
}

struct FailureCase {
    const char* name;
    const char* video_driver;  // null: SDL picks
    int32_t bits_per_pixel;
    const char* text;
};

std::string failure_name(const ::testing::TestParamInfo<FailureCase>& param_info)
{
    return param_info.param.name;
}

class SdlFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    // SDL has been up in this process: each death test starts a fresh one.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(SdlFailureTest, ReportsOnStderrAndExitsWithCodeZero)
{
    const FailureCase c = GetParam();
    EXPECT_EXIT(
        {
            forget_display();
            if (c.video_driver != nullptr) {
                setenv("SDL_VIDEODRIVER", c.video_driver, 1);
            } else {
                unsetenv("SDL_VIDEODRIVER");
            }
            platform::window_create();
            platform::input_open(platform::main_window);
            platform::video_create();
            platform::video_set_mode(320, 200, c.bits_per_pixel);
            std::fputs("start-up went on", stderr);
        },
        ::testing::ExitedWithCode(0), std::string("^MORVA Q-ENGINE V2\\.2: ") + c.text + "\n$");
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, SdlFailureTest,
    ::testing::Values(
        // With no display SDL would fall back to its offscreen driver: that is no display.
        FailureCase{"NoDisplay", nullptr, 16, "Sorry, I can't init DirectDraw"},
        FailureCase{"NoX11Server", "x11", 16, "Sorry, I can't init DirectDraw"},
        FailureCase{"EightBitMode", "offscreen", 8, "Sorry, I can't set this video mode"}),
    failure_name);

// The sound device is a library: it must leave the process's stderr alone while it opens, for
// another thread of the host may be writing there. SDL's disk driver writing to /dev/stderr
// shows where fd 2 pointed when the device opened: a device that swapped it for /dev/null
// while opening sends every byte there.
TEST(SdlAudioTest, OpeningLeavesStandardErrorWhereItWas)
{
    char name[] = "/tmp/sdl_test_stderr_XXXXXX";
    const int file = mkstemp(name);
    ASSERT_GE(file, 0);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    dup2(file, STDERR_FILENO);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/stderr", 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);

    std::vector<uint8_t> ring(4 * 4096, 0x55);
    ASSERT_TRUE(platform::audio_set_device(platform::sdl_audio_device()));
    const bool opened =
        platform::audio_open(44100, ring.data(), static_cast<uint32_t>(ring.size()));
    if (opened) {
        for (int i = 0; i < 2000 && platform::audio_position() < ring.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        platform::audio_close();
    }
    const std::string why = platform::audio_error();
    dup2(saved, STDERR_FILENO);
    close(saved);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
    platform::audio_set_device(nullptr);
    const off_t written = lseek(file, 0, SEEK_END);
    close(file);
    std::remove(name);
    if (!opened) GTEST_SKIP() << "no SDL disk audio here: " << why;
    EXPECT_GE(written, static_cast<off_t>(ring.size()));
}

}  // namespace
