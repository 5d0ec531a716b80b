// shell_bench.cpp -- one frame body of each scene, and the shell's three passes alone

#include <benchmark/benchmark.h>

#include "render/music_source.h"
#include "shell/offscreen.h"
#include "shell/passes.h"
#include "shell/timeline.h"

namespace {

// A music position inside each scene's stretch, so beats, texts and pulses behave as shown.
uint16_t position = 0;
uint16_t read_position()
{
    return position;
}

struct Setup {
    Setup()
    {
        shell::init_renderer();
        render::set_music_position_source(read_position);
        shell::make_show_cloud();
    }
};

// The frame body of one scene, scene number as the argument; presenting is the display's.
void BM_scene_frame(benchmark::State& state)
{
    static Setup setup;
    static constexpr uint16_t positions[9] = {0,      0x0404, 0x0510, 0x0710, 0x0810,
                                              0x0910, 0x0C10, 0x0F10, 0x1210};
    shell::OffscreenFrame frame;
    const auto scene = static_cast<int32_t>(state.range(0));
    position = positions[scene];
    for (auto _ : state) {
        shell::scene_frame(scene);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_scene_frame)->DenseRange(1, 8)->Unit(benchmark::kMicrosecond);

void BM_mask_fade(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    frame.fill(0xFFFF);
    for (auto _ : state) {
        shell::mask_fade(shell::FadeDirection::DARKENING);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_mask_fade)->Unit(benchmark::kMicrosecond);

void BM_texture_pass(benchmark::State& state)
{
    static Setup setup;
    const auto mode = state.range(0) == 0 ? shell::TextureMode::PLAIN : shell::TextureMode::SWIRLED;
    for (auto _ : state) {
        shell::texture_pass(mode);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_texture_pass)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_cross_fade(benchmark::State& state)
{
    static Setup setup;
    shell::OffscreenFrame frame;
    frame.fill(0x7BEF);
    for (auto _ : state) {
        shell::cross_fade(shell::BlendWeights::FULL, 31);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_cross_fade)->Unit(benchmark::kMicrosecond);

}  // namespace
