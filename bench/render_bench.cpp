// render_bench.cpp -- time per call of the renderer's full-screen passes, the crystal, the
// scene-6 dot cloud and a full line of text

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "render/object.h"
#include "render/text.h"
#include "render/warp.h"
#include "tools/renderpreview/scenes.h"

namespace {

struct Setup {
    Setup() { scenes::init_renderer(); }
};

void BM_draw_warp(benchmark::State& state)
{
    static Setup setup;
    scenes::Frame frame;
    for (auto _ : state) {
        render::draw_warp();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_draw_warp);

void BM_grain_blur(benchmark::State& state)
{
    static Setup setup;
    scenes::Frame frame;
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
    scenes::Frame frame;
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
    scenes::Frame frame;
    frame.fill(0);
    const std::vector<render::Point3> cloud = scenes::make_cloud();
    scenes::DotStep dots;
    for (auto _ : state) {
        dots.move(scenes::CLOUD_DRAWN, cloud.data(), 400);
        dots.draw(scenes::CLOUD_DRAWN);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_dot_cloud);

// One line of 20 glyphs across the width of the frame.
void BM_draw_texts(benchmark::State& state)
{
    static Setup setup;
    scenes::Frame frame;
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
