// mixer_bench.cpp -- voice-frames per second of the mixer (items per second)

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "player/mixer/mixer.h"

namespace {

using namespace player;

constexpr int32_t CHUNK = 884;  // one chunk at 44100 Hz
constexpr uint32_t SAMPLE_FRAMES = 65536;

// A looping 16-bit sample as the loader leaves it.
struct BenchSample {
    std::vector<int16_t> frames;
    Sample sample{};

    explicit BenchSample(uint32_t seed)
    {
        frames.resize(SAMPLE_FRAMES + 8);
        uint32_t x = seed;
        for (uint32_t i = 0; i < SAMPLE_FRAMES; ++i) {
            x = x * 1664525u + 1013904223u;
            frames[i] = static_cast<int16_t>(x >> 16);
        }
        sample.data = frames.data();
        sample.length = SAMPLE_FRAMES;
        sample.loop_start = 1000;
        sample.loop_length = SAMPLE_FRAMES - 1000;
        sample.loop_kind = LOOP_FORWARD;
        sample.bits = 16;
        frames[SAMPLE_FRAMES] = frames[1000];
    }
};

void start_voice(int32_t index, Sample* sample, uint64_t step, uint8_t gain_left,
                 uint8_t gain_right)
{
    Voice& voice = voice_pool()[index];
    voice.step = static_cast<uint32_t>(step >> 32);
    voice.step_frac = static_cast<uint32_t>(step);
    voice.gain_left = voice.current_left = gain_left;
    voice.gain_right = voice.current_right = gain_right;
    voice.ramp_frames = 0;
    voice_play(index, sample);
}

void BM_MixOneVoiceNoRamp(benchmark::State& state)
{
    voice_pool_create(44100);
    BenchSample sample(1);
    start_voice(0, &sample.sample, 0x1'5C3A'9E37ull, 200, 90);  // about 1.36 frames per frame
    std::vector<float> buffer(2 * CHUNK, 0.0f);
    for (auto _ : state) {
        mix_voices(buffer.data(), active_voices(), CHUNK);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * CHUNK);
    voice_pool_destroy();
}
BENCHMARK(BM_MixOneVoiceNoRamp);

// Every call changes the target gains, so every frame is mixed inside a ramp.
void BM_MixOneVoiceRamp(benchmark::State& state)
{
    voice_pool_create(44100);
    BenchSample sample(2);
    start_voice(0, &sample.sample, 0x1'5C3A'9E37ull, 200, 90);
    const int32_t frames = ramp_length();
    std::vector<float> buffer(2 * static_cast<size_t>(frames), 0.0f);
    Voice& voice = voice_pool()[0];
    uint8_t gain = 0;
    for (auto _ : state) {
        gain = static_cast<uint8_t>(gain + 97);
        voice.gain_left = gain;
        voice.gain_right = static_cast<uint8_t>(255 - gain);
        mix_voices(buffer.data(), active_voices(), frames);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
    voice_pool_destroy();
}
BENCHMARK(BM_MixOneVoiceRamp);

// The show's load: 12 voices at different pitches, a gain change on one voice per chunk.
void BM_MixTwelveVoices(benchmark::State& state)
{
    voice_pool_create(44100);
    std::vector<BenchSample> samples;
    samples.reserve(12);
    for (uint32_t i = 0; i < 12; ++i) samples.emplace_back(i + 10);
    for (int32_t i = 0; i < 12; ++i) {
        const uint64_t step = 0x0'6000'0000ull + static_cast<uint64_t>(i) * 0x0'3A71'2C05ull;
        start_voice(i, &samples[static_cast<size_t>(i)].sample, step,
                    static_cast<uint8_t>(40 + 15 * i), static_cast<uint8_t>(200 - 10 * i));
    }
    std::vector<float> buffer(2 * CHUNK, 0.0f);
    int32_t turn = 0;
    for (auto _ : state) {
        Voice& changed = voice_pool()[turn];
        changed.gain_left = static_cast<uint8_t>(changed.gain_left + 31);
        turn = (turn + 1) % 12;
        mix_voices(buffer.data(), active_voices(), CHUNK);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * CHUNK * 12);
    voice_pool_destroy();
}
BENCHMARK(BM_MixTwelveVoices);

void BM_MixToPcm16(benchmark::State& state)
{
    std::vector<float> source(2 * CHUNK);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<float>(i * 97 % 90000) - 45000.5f;
    std::vector<int16_t> pcm(2 * CHUNK);
    for (auto _ : state) {
        mix_to_pcm16(pcm.data(), source.data(), CHUNK);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.SetItemsProcessed(state.iterations() * CHUNK);
}
BENCHMARK(BM_MixToPcm16);

}  // namespace
