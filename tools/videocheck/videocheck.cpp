// videocheck.cpp -- opens the show's display and presents a test pattern until Escape
//
//   videocheck [frames [bits-per-pixel]]
//
// frames defaults to 210, three seconds at the paced 70 frames per second; a depth other than
// 16 asks for a mode the display refuses, to see the start-up error box.
//
// The pattern: eight colour bars over the upper part, a grey ramp below them, a one-pixel
// white border around the whole 320 x 200 frame and a red cross through its middle, so a
// screenshot shows the aspect, the borders and the colour order at once. A small square moves
// along the ramp every frame.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/input.h"
#include "platform/video.h"
#include "platform/window.h"

namespace {

constexpr int32_t WIDTH = 320;
constexpr int32_t HEIGHT = 200;

constexpr uint16_t rgb565(int32_t red, int32_t green, int32_t blue)
{
    return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

void put(int32_t x, int32_t y, uint16_t colour)
{
    auto* row = reinterpret_cast<uint16_t*>(platform::frame_buffer + platform::frame_rows[y]);
    row[x] = colour;
}

void draw_pattern(int32_t frame)
{
    constexpr uint16_t BARS[8] = {rgb565(255, 255, 255), rgb565(255, 255, 0), rgb565(0, 255, 255),
                                  rgb565(0, 255, 0),     rgb565(255, 0, 255), rgb565(255, 0, 0),
                                  rgb565(0, 0, 255),     rgb565(0, 0, 0)};
    for (int32_t y = 0; y < HEIGHT; ++y) {
        for (int32_t x = 0; x < WIDTH; ++x) {
            uint16_t colour;
            if (y < 150) {
                colour = BARS[x * 8 / WIDTH];
            } else {
                const int32_t grey = x * 255 / (WIDTH - 1);
                colour = rgb565(grey, grey, grey);
            }
            put(x, y, colour);
        }
    }
    const uint16_t white = rgb565(255, 255, 255);
    for (int32_t x = 0; x < WIDTH; ++x) {
        put(x, 0, white);
        put(x, HEIGHT - 1, white);
    }
    for (int32_t y = 0; y < HEIGHT; ++y) {
        put(0, y, white);
        put(WIDTH - 1, y, white);
    }
    const uint16_t red = rgb565(255, 0, 0);
    const uint16_t green = rgb565(0, 255, 0);
    for (int32_t x = WIDTH / 2 - 20; x <= WIDTH / 2 + 20; ++x)
        put(x, HEIGHT / 2, x == WIDTH / 2 ? green : red);
    for (int32_t y = HEIGHT / 2 - 20; y <= HEIGHT / 2 + 20; ++y) put(WIDTH / 2, y, red);
    const int32_t square = 8 + (frame * 2) % (WIDTH - 24);
    for (int32_t y = 170; y < 186; ++y) {
        for (int32_t x = square; x < square + 8; ++x) put(x, y, rgb565(255, 0, 0));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int32_t frames = 210;
    int32_t bits_per_pixel = 16;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: videocheck [frames [bits-per-pixel]]\n\n"
            "Opens the show's display and presents a test pattern (colour bars, a grey ramp, a\n"
            "moving square, a white border and a red cross) for `frames` frames, 210 by default,\n"
            "or until Escape. A depth other than 16 shows the start-up error for a refused mode.\n"
            "QUORBELA_FPS sets the pace (70 by default, 0 unpaced).\n");
        return 0;
    }
    if (argc > 1) frames = std::atoi(argv[1]);
    if (argc > 2) bits_per_pixel = std::atoi(argv[2]);
    if (argc > 3 || frames <= 0 || bits_per_pixel <= 0) {
        std::fprintf(stderr, "usage: videocheck [frames [bits-per-pixel]]\n");
        return 2;
    }
    platform::show_command = platform::SHOW_NORMAL;
    platform::window_create();
    platform::input_open(platform::main_window);
    platform::video_create();
    platform::video_set_mode(WIDTH, HEIGHT, bits_per_pixel);
    platform::frame_alloc(WIDTH, HEIGHT, 16);

    const auto start = std::chrono::steady_clock::now();
    int32_t shown = 0;
    while (shown < frames) {
        platform::input_poll();
        if (platform::key_state[platform::KEY_ESCAPE] != 0) break;
        draw_pattern(shown);
        platform::video_present();
        ++shown;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    platform::frame_free();
    platform::video_release();
    platform::window_quit();
    std::printf("videocheck: %d frames in %.2f s (%.1f per second)\n", shown, seconds,
                seconds > 0 ? shown / seconds : 0.0);
    return 0;
}
