// underrun_bench.cpp -- the mixing thread against a device that plays at real-time pace, for
// 30 seconds of the demo's song, while two threads keep both cores busy: how many chunks
// played stale (the target is none)

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "platform/audio.h"
#include "platform/virtual/virtual_audio.h"
#include "player/player.h"

namespace {

void BM_RealTimeUnderruns(benchmark::State& state)
{
    platform::audio_set_device(platform::virtual_audio_device());
    player::sound_set_buffer_time(100);  // the demo's and xmplay's buffering
    player::mem_register(assets::module_xm, assets::MODULE_SIZE);
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::Song* song = player::song_load("quorbela.xm", nullptr);
    if (song == nullptr) {
        state.SkipWithError("cannot load the demo's song");
        return;
    }
    const auto seconds = static_cast<double>(state.range(0));
    uint64_t underruns = 0;
    uint64_t chunks = 0;
    for (auto _ : state) {
        if (!player::sound_open(44100) || !player::song_start(song)) {
            state.SkipWithError("cannot open the sound");
            break;
        }
        std::atomic<bool> done{false};
        std::vector<std::thread> load;
        for (int i = 0; i < 2; ++i) {
            load.emplace_back([&done] {
                volatile uint64_t spin = 0;
                while (!done.load(std::memory_order_relaxed)) spin = spin + 1;
            });
        }
        // The device moves in steps of about a millisecond, as a sound card's cursor does.
        const auto begin = std::chrono::steady_clock::now();
        const auto until = begin + std::chrono::duration<double>(seconds);
        uint64_t played = 0;
        while (std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const auto due = static_cast<uint64_t>(elapsed * 44100);
            platform::virtual_audio_advance(static_cast<uint32_t>(due - played), nullptr);
            played = due;
        }
        done.store(true);
        for (std::thread& thread : load) thread.join();
        underruns += player::sound_underruns();
        chunks += played / static_cast<uint64_t>(player::sound_chunk_frames());
        player::song_stop(song);
        player::sound_close();
    }
    state.counters["underruns"] = static_cast<double>(underruns);
    state.counters["chunks_played"] = static_cast<double>(chunks);
    player::song_free(song);
}

BENCHMARK(BM_RealTimeUnderruns)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
