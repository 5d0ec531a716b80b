// replay_bench.cpp -- cost of replay_tick on a busy 32-channel module, per channel and tick

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/replay/effects.h"
#include "player/replay/replay.h"
#include "tests/support/player_support.h"
#include "tools/xmwriter/xm_writer.h"

namespace {

constexpr int CHANNELS = 32;
constexpr int TICKS = 100000;

// Every channel busy on every row: notes every few rows, and an effect in every cell drawn
// from the ones that work on every tick (vibratos, slides, arpeggio, retriggers, tremor),
// with volume and panning envelopes and a sine auto-vibrato on both instruments.
std::vector<uint8_t> busy_module()
{
    static const uint8_t effects[][2] = {
        {player::EFFECT_VIBRATO, 0x48},
        {player::EFFECT_ARPEGGIO, 0x37},
        {player::EFFECT_TONE_PORTA, 0x08},
        {player::EFFECT_VOLUME_SLIDE, 0x01},
        {player::EFFECT_VIBRATO_VOLSLIDE, 0x10},
        {player::EFFECT_PORTA_UP, 0x02},
        {player::EFFECT_PORTA_DOWN, 0x02},
        {player::EFFECT_EXTENDED, player::EXTENDED_RETRIGGER << 4 | 3},
        {player::EFFECT_MULTI_RETRIGGER, 0x13},
        {player::EFFECT_TREMOR, 0x21},
        {player::EFFECT_PANNING_SLIDE, 0x02},
        {player::EFFECT_TONE_PORTA_VOLSLIDE, 0x01},
    };
    xmwriter::Module m;
    m.channels = CHANNELS;
    m.speed = 6;
    for (int p = 0; p < 4; ++p) {
        xmwriter::Pattern pattern;
        pattern.rows = 64;
        for (int row = 0; row < 64; ++row) {
            for (int c = 0; c < CHANNELS; ++c) {
                xmwriter::Cell& cell = pattern.at(row, c, CHANNELS);
                const int k = row + c + p;
                if (k % 4 == 0) {
                    cell.note = static_cast<uint8_t>(37 + (k * 7) % 36);
                    cell.instrument = static_cast<uint8_t>(1 + (c & 1));
                }
                cell.volume = static_cast<uint8_t>((k % 3 == 0)   ? 0x62
                                                   : (k % 3 == 1) ? 0xB4
                                                                  : 0xD1);
                cell.effect = effects[k % 12][0];
                cell.parameter = effects[k % 12][1];
            }
        }
        m.patterns.push_back(pattern);
        m.orders.push_back(static_cast<uint8_t>(p));
    }
    for (int i = 0; i < 2; ++i) {
        xmwriter::Instrument ins;
        xmwriter::Sample s;
        s.frames.assign(4000, 0);
        s.loop = xmwriter::SAMPLE_FORWARD;
        s.loop_length = 4000;
        ins.samples.push_back(s);
        ins.volume.points = {{0, 64}, {10, 40}, {30, 50}, {200, 0}};
        ins.volume.sustain = 2;
        ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
        ins.panning.points = {{0, 32}, {20, 60}, {40, 4}};
        ins.panning.loop_start = 0;
        ins.panning.loop_end = 2;
        ins.panning.type = player::ENVELOPE_ON | player::ENVELOPE_LOOP;
        ins.vibrato_type = 0;
        ins.vibrato_depth = 8;
        ins.vibrato_rate = 20;
        ins.vibrato_sweep = 30;
        ins.fadeout = 200;
        m.instruments.push_back(ins);
    }
    return xmwriter::write(m);
}

void BM_ReplayTick(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = busy_module();
    player::Song* song = test_support::load_module(bytes);
    if (song == nullptr || !player::voice_pool_create(44100) || !player::song_start(song)) {
        state.SkipWithError("module did not load or start");
        return;
    }
    for (auto _ : state) {
        for (int t = 0; t < TICKS; ++t) player::replay_tick(song);
        benchmark::DoNotOptimize(player::voice_pool()[0].frequency);
    }
    // Reported inverted: seconds per channel-tick (shown with an SI prefix, n = ns).
    state.counters["per_channel_tick"] = benchmark::Counter(
        static_cast<double>(TICKS) * CHANNELS,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    player::song_free(song);
    player::voice_pool_destroy();
}

BENCHMARK(BM_ReplayTick)->Unit(benchmark::kMillisecond);

}  // namespace
