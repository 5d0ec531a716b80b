// render_bench.cpp -- time per call of the renderer's full-screen passes, the crystal, the
// scene-6 dot cloud and a full line of text

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "render/object.h"
#include "render/text.h"
#include "render/warp.h"
#include "shell/dots.h"
#include "shell/offscreen.h"

namespace {

struct Setup {
    Setup() { shell::init_renderer(); }
};

void BM_draw_warp(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    for (auto _ : state) {
        render::draw_warp();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_draw_warp);

void BM_grain_blur(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    std::memcpy(platform::frame_buffer, assets::intro_picture, assets::PICTURE_SIZE);
    for (auto _ : state) {
        render::grain_blur();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_grain_blur);

// The object as the scenes draw it, circling and turning a step per call.
void BM_draw_object(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    frame.fill(0);
    render::object_colour = 4299;
    int32_t orbit = 0;
    for (auto _ : state) {
        render::object_rot_a += 8;
        render::object_rot_b += 4;
        render::object_rot_c += 1;
        render::wave_lookup(orbit);
        orbit += 10;
        render::object_pos_x = static_cast<int32_t>(std::nearbyint(120.0 * render::wave_cos));
        render::object_pos_y = static_cast<int32_t>(std::nearbyint(70.0 * render::wave_sin));
        render::object_pos_z = 300;
        render::draw_object(render::object_mesh);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_draw_object);

// Scene 6: move, transform and project the 999 points, then draw every dot that fits.
void BM_dot_cloud(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    frame.fill(0);
    std::vector<render::Point3> cloud(shell::CLOUD_POINTS);
    uint16_t seed = shell::CLOUD_SEED;
    shell::make_cloud(cloud.data(), shell::CLOUD_POINTS, seed);
    std::vector<render::Point3> transformed(shell::CLOUD_DRAWN);
    std::vector<render::ScreenPoint> screen(shell::CLOUD_DRAWN);
    int32_t rot_a = 0;
    int32_t rot_b = 0;
    for (auto _ : state) {
        rot_a += 4;
        rot_b += 8;
        shell::project_dots(shell::CLOUD_DRAWN, cloud.data(), 400, rot_a, rot_b, transformed.data(),
                            screen.data());
        shell::draw_dots(shell::CLOUD_DRAWN, screen.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_dot_cloud);

// One line of 20 glyphs across the width of the frame.
void BM_draw_texts(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    frame.fill(0);
    static const char line[] = "ABCDEFGHJKNOPQRSTUVX";
    static const render::TextEvent event = {0, 0xFFFF, line, 0, 80};
    render::set_text_table(&event, 1);
    render::clear_texts();
    render::update_texts();
    for (auto _ : state) {
        render::draw_texts();
        benchmark::ClobberMemory();
    }
    render::set_text_table(assets::text_events, assets::text_event_count);
    render::clear_texts();
}
BENCHMARK(BM_draw_texts);

}  // namespace
