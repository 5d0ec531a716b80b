// web_scene_bench.cpp -- one frame of each scene, and the shell's passes, timed in WebAssembly
//
// Built by the browser build (build-wasm/bench/web_scene_bench.js) and run under node, whose
// engine is the browser's:  node --no-experimental-fetch build-wasm/bench/web_scene_bench.js
// Prints milliseconds per frame, the best of several runs of a few hundred frames each (the
// best run is the one the least disturbed by whatever else the machine does).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "render/music_source.h"
#include "shell/offscreen.h"
#include "shell/passes.h"
#include "shell/timeline.h"

namespace {

constexpr int RUNS = 7;
constexpr int FRAMES = 200;

uint16_t position = 0;
uint16_t read_position()
{
    return position;
}

double best_ms_per_frame(const std::function<void()>& frame)
{
    for (int i = 0; i < 20; ++i) frame();  // warm the engine's tiers and the caches
    double best = 1e9;
    for (int run = 0; run < RUNS; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < FRAMES; ++i) frame();
        const std::chrono::duration<double, std::milli> spent =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count() / FRAMES);
    }
    return best;
}

}  // namespace

int main()
{
    shell::init_renderer();
    render::set_music_position_source(read_position);
    shell::make_show_cloud();
    shell::OffscreenFrame frame;
    // A music position inside each scene's stretch, so beats, texts and pulses behave as shown.
    static constexpr uint16_t positions[9] = {0,      0x0404, 0x0510, 0x0710, 0x0810,
                                              0x0910, 0x0C10, 0x0F10, 0x1210};
    std::printf("scene  ms per frame\n");
    for (int32_t scene = 1; scene <= 8; ++scene) {
        position = positions[scene];
        std::printf("%5d  %.3f\n", scene,
                    best_ms_per_frame([scene] { shell::scene_frame(scene); }));
    }
    std::printf("mask fade        %.3f\n",
                best_ms_per_frame([] { shell::mask_fade(shell::FadeDirection::DARKENING); }));
    std::printf("texture plain    %.3f\n",
                best_ms_per_frame([] { shell::texture_pass(shell::TextureMode::PLAIN); }));
    std::printf("texture swirled  %.3f\n",
                best_ms_per_frame([] { shell::texture_pass(shell::TextureMode::SWIRLED); }));
    std::printf("cross fade       %.3f\n",
                best_ms_per_frame([] { shell::cross_fade(shell::BlendWeights::FULL, 31); }));
    return 0;
}
