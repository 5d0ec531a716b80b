// xm_mutation_test.cpp -- the loader and mixer against 10,000 randomly damaged modules
//
// Each copy of a test module gets a few random byte changes, insertions, deletions or a cut;
// whatever loads must hold the invariants the replay and the mixer rely on, and every sample
// must play through the mixer. Run under the sanitizers this finds out-of-bounds access.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "player/mixer/mixer.h"
#include "player/xm.h"
#include "tests/player/module_fixtures.h"
#include "tests/support/player_support.h"

namespace {

using namespace player;

constexpr int MUTATIONS = 10000;

std::vector<std::vector<uint8_t>> seed_modules()
{
    std::vector<std::vector<uint8_t>> modules;
    modules.push_back(xmwriter::write(fixtures::rich_module()));
    modules.push_back(xmwriter::write(fixtures::sample_module(
        fixtures::make_sample(90, true, xmwriter::SAMPLE_PINGPONG, 0, 90))));
    modules.push_back(xmwriter::write(
        fixtures::sample_module(fixtures::make_sample(33, false, xmwriter::SAMPLE_FORWARD, 0, 1))));
    // The older layouts, with an ADPCM-packed sample.
    xmwriter::Module old = fixtures::rich_module();
    old.instruments[2].samples[1].adpcm = true;
    for (uint16_t version : {0x0102, 0x0103}) {
        old.version = version;
        modules.push_back(xmwriter::write(old));
    }
    return modules;
}

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937& random)
{
    static const uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x10, 0x11, 0x61};
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int c = 0; c < changes && !bytes.empty(); ++c) {
        const size_t at = random() % bytes.size();
        switch (random() % 6) {
        case 0:
            bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 1:
            bytes[at] = static_cast<uint8_t>(random());
            break;
        case 2:
            bytes[at] = interesting[random() % sizeof interesting];
            break;
        case 3:
            bytes.insert(bytes.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
            break;
        case 4:
            bytes.erase(bytes.begin() + static_cast<long>(at));
            break;
        default:
            // Header-sized fields are where the counts live: hit them more often.
            if (c == 0)
                bytes.erase(bytes.begin() + static_cast<long>(at) + 1, bytes.end());
            else
                bytes[random() % std::min<size_t>(bytes.size(), 400)] =
                    static_cast<uint8_t>(random());
            break;
        }
    }
    return bytes;
}

// What later stages index without checking again.
void check_song(const Song& song)
{
    ASSERT_GE(song.channel_count, 1);
    ASSERT_LE(song.channel_count, VOICE_COUNT);
    ASSERT_GE(song.song_length, 1);
    ASSERT_LE(song.song_length, 256);
    ASSERT_TRUE(song.restart_position == 0 || song.restart_position < song.song_length);
    for (int order = 0; order < song.song_length; ++order) {
        ASSERT_LT(song.order_table[order], song.pattern_slots);
    }
    volatile uint32_t sum = 0;
    for (int p = 0; p < song.pattern_slots; ++p) {
        const Pattern& pattern = song.patterns[p];
        ASSERT_GE(pattern.rows, 0);
        ASSERT_EQ(pattern.cells == nullptr, pattern.rows == 0);
        const int64_t cells = int64_t{pattern.rows} * song.channel_count;
        for (int64_t k = 0; k < cells; ++k) sum = sum + pattern.cells[k].note;
    }
    ASSERT_GE(song.instrument_count, 0);
    ASSERT_LE(song.instrument_count, 128);
    for (int i = 0; i < song.instrument_count; ++i) {
        const Instrument& instrument = song.instruments[i];
        ASSERT_LE(instrument.volume_points, 12);
        ASSERT_LE(instrument.panning_points, 12);
        for (uint8_t point : {instrument.volume_sustain, instrument.volume_loop_start,
                              instrument.volume_loop_end, instrument.panning_sustain,
                              instrument.panning_loop_start, instrument.panning_loop_end}) {
            ASSERT_LT(point, 12);
        }
        for (int k = 0; k < 16; ++k) {
            const Sample* sample = instrument.samples[k];
            ASSERT_NE(sample, nullptr);
            ASSERT_EQ(sample == &empty_sample, k >= instrument.sample_count);
            ASSERT_LE(uint64_t{sample->loop_start} + sample->loop_length, sample->length);
            ASSERT_EQ(sample->data == nullptr, sample->length == 0);
            ASSERT_LE(sample->volume, 64);
            if (sample->loop_kind != LOOP_NONE && sample != &empty_sample) {
                ASSERT_GT(sample->loop_length, 0u);
            }
            for (uint32_t f = 0; sample->data != nullptr && f < sample->length + 8; ++f)
                sum = sum + sample->data[f];
        }
    }
}

// Plays every sample of the song on one voice at a few steps, forward and backward.
void play_samples(const Song& song)
{
    static float buffer[2 * 512];
    static const uint64_t steps[] = {0x0'8000'0001ull, 0x1'0000'0000ull, 0x3'7000'0003ull,
                                     0x10'0000'0000ull};
    for (int i = 0; i < song.instrument_count; ++i) {
        for (int k = 0; k < song.instruments[i].sample_count; ++k) {
            Sample* sample = song.instruments[i].samples[k];
            for (uint64_t step : steps) {
                Voice& voice = voice_pool()[0];
                voice.step = static_cast<uint32_t>(step >> 32);
                voice.step_frac = static_cast<uint32_t>(step);
                voice.gain_left = 200;
                voice.gain_right = 30;
                voice.start_offset = static_cast<uint32_t>(step % 977);
                voice_play(0, sample);
                mix_voices(buffer, active_voices(), 512);
                voice_stop(0);
            }
        }
    }
}

TEST(XmMutationTest, DamagedModulesLoadSafelyOrNotAtAll)
{
    ASSERT_TRUE(voice_pool_create(44100));
    const std::vector<std::vector<uint8_t>> seeds = seed_modules();
    std::mt19937 random(20261207);
    int loaded = 0;
    for (int n = 0; n < MUTATIONS; ++n) {
        const std::vector<uint8_t> bytes =
            mutate(seeds[static_cast<size_t>(n) % seeds.size()], random);
        Song* song = test_support::load_module(bytes);
        if (song == nullptr) continue;
        ++loaded;
        check_song(*song);
        play_samples(*song);
        song_free(song);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "mutation " << n;
            break;
        }
    }
    voice_pool_destroy();
    // Most damage leaves a playable module; if almost nothing loads the test proves little.
    EXPECT_GT(loaded, MUTATIONS / 2);
}

}  // namespace
