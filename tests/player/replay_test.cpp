// replay_test.cpp -- tick sequencing, notes, instruments, jumps, loops and delays, pinned by
// per-tick traces (traces/*.txt) and a few direct checks

#include "player/replay/replay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "player/control.h"
#include "tests/player/replay_trace.h"

namespace {

using replay_trace::instrument;
using replay_trace::module;
using replay_trace::pattern;

using replay_trace::TraceCase;

class ReplayTraceTest : public testing::TestWithParam<TraceCase> {};

TEST_P(ReplayTraceTest, MatchesGolden)
{
    const TraceCase& c = GetParam();
    replay_trace::expect_golden(c.name, replay_trace::run(c.build(), c.ticks));
}

// Instrument 2: a sample an octave up (relative note 12) at volume 32, panned to 64.
xmwriter::Instrument octave_up()
{
    xmwriter::Instrument ins = instrument(32, 64);
    ins.samples[0].relative_note = 12;
    return ins;
}

// Volume envelope (0,64) (4,32) (8,64) sustained at point 1; panning envelope (0,32) (4,64);
// fade-out 0x2000 (doubled: a quarter of full volume per tick).
xmwriter::Instrument enveloped()
{
    xmwriter::Instrument ins = instrument();
    ins.volume.points = {{0, 64}, {4, 32}, {8, 64}};
    ins.volume.sustain = 1;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.panning.points = {{0, 32}, {4, 64}};
    ins.panning.type = player::ENVELOPE_ON;
    ins.fadeout = 0x2000;
    return ins;
}

const TraceCase TRACES[] = {
    // Channel 1 never had an instrument byte: its notes start but stay silent. Row 1 retriggers
    // without a reset, row 2 resets without a retrigger, row 3 releases a note without an
    // envelope (silent at once), row 4 retriggers the released note (still silent), row 5 plays
    // an octave-up sample, row 6 an instrument beyond the song's two (empty sample, silence).
    {"notes_and_instruments",
     [] {
         xmwriter::Module m =
             module(2,
                    {pattern(2, {"C-4 01 .. ...|C-4 .. .. ...", "D-4 .. .. ...|--- .. .. ...",
                                 "--- 01 20 ...|--- .. .. ...", "=== .. .. ...|--- .. .. ...",
                                 "C-4 .. .. ...|--- .. .. ...", "C-4 02 .. ...|--- .. .. ...",
                                 "C-4 03 .. ...|--- .. .. ...", "C-4 01 .. ...|--- .. .. ..."})},
                    {0}, {instrument(), octave_up()});
         m.speed = 2;
         return m;
     },
     16},
    // Envelopes step from the note's first tick; the centre panning swings to 256, played as
    // 255. The key-off releases the sustain and starts the fade-out; L06 and L00 move the
    // volume envelope.
    {"envelopes",
     [] {
         xmwriter::Module m =
             module(1,
                    {pattern(1, {"C-4 01 .. ...", "--- .. .. ...", "=== .. .. ...", "--- .. .. ...",
                                 "C-4 01 .. L06", "--- .. .. L00", "--- .. .. ..."})},
                    {0}, {enveloped()});
         m.speed = 4;
         return m;
     },
     28},
    // Past the last order the song goes on at the restart position (order 1).
    {"restart_position",
     [] {
         xmwriter::Module m =
             module(1,
                    {pattern(1, {"--- .. .. ...", "--- .. .. ..."}),
                     pattern(1, {"--- .. .. ...", "--- .. .. ...", "--- .. .. ..."})},
                    {0, 1, 0});
         m.speed = 1;
         m.restart = 1;
         return m;
     },
     12},
    // B01 then D02: order from B, row from D. D02 then B02: order 2, row 0. D99: row 0 of the
    // next order. B07 past the last order: order 0, not the restart position 2.
    {"jumps_and_breaks",
     [] {
         xmwriter::Module m =
             module(2,
                    {pattern(2, {"--- .. .. B01|--- .. .. D02", "--- .. .. ...|--- .. .. ...",
                                 "--- .. .. ...|--- .. .. ...", "--- .. .. ...|--- .. .. ..."}),
                     pattern(2, {"--- .. .. ...|--- .. .. ...", "--- .. .. ...|--- .. .. ...",
                                 "--- .. .. D02|--- .. .. B02", "--- .. .. ...|--- .. .. ..."}),
                     pattern(2, {"--- .. .. D99|--- .. .. ...", "--- .. .. ...|--- .. .. ...",
                                 "--- .. .. ...|--- .. .. ...", "--- .. .. ...|--- .. .. ..."}),
                     pattern(2, {"--- .. .. ...|--- .. .. ...", "--- .. .. B07|--- .. .. ...",
                                 "--- .. .. ...|--- .. .. ...", "--- .. .. ...|--- .. .. ..."})},
                    {0, 1, 2, 3});
         m.speed = 1;
         m.restart = 2;
         return m;
     },
     8},
    // D03 into order 1 (a pattern of 2 rows) is past its end: played as row 0. D05 into order
    // 2, a pattern of 0 rows: no cells, nothing decoded, the song moves on to order 3. D05 on
    // the last order goes to order 0, row 5 of a 2-row pattern: row 0 again.
    {"break_past_pattern_end",
     [] {
         xmwriter::Module m =
             module(1,
                    {pattern(1, {"C-4 01 .. D03", "--- .. .. ..."}),
                     pattern(1, {"--- .. .. ...", "D-4 .. .. D05"}), pattern(1, {})},
                    {0, 1, 2, 1});
         m.speed = 2;
         return m;
     },
     14},
    // E60 on row 1 and E62 on row 4: rows 1..4 play three times, then row 5.
    {"pattern_loop",
     [] {
         xmwriter::Module m =
             module(1,
                    {pattern(1, {"C-4 01 .. ...", "--- .. .. E60", "D-4 .. .. ...", "--- .. .. ...",
                                 "--- .. .. E62", "--- .. .. ..."})},
                    {0});
         m.speed = 1;
         return m;
     },
     16},
    // EE1 doubles the row to 6 ticks; the tick effects see ticks 3..5 too: E92 retriggers at
    // ticks 2 and 4, EC4 cuts at tick 4. On the next (3-tick) row EC4 never cuts.
    {"pattern_delay",
     [] {
         xmwriter::Module m = module(3,
                                     {pattern(3, {"C-4 01 .. EE1|C-4 01 .. E92|C-4 01 .. EC4",
                                                  "--- .. .. ...|--- .. .. ...|--- .. .. EC4",
                                                  "--- .. .. ...|--- .. .. ...|--- .. .. ..."})},
                                     {0});
         m.speed = 3;
         return m;
     },
     12},
    // ED2: the row's note, instrument reset and volume byte wait for tick 2. ED0 and ED5 (past
    // the row's 3 ticks) never sound, and the voice hears nothing of those rows.
    {"note_delay",
     [] {
         xmwriter::Module m = module(1,
                                     {pattern(1, {"C-4 01 .. ...", "E-4 01 20 ED2", "G-4 01 .. ED0",
                                                  "--- .. .. ...", "C-4 01 30 ED5"})},
                                     {0});
         m.speed = 3;
         return m;
     },
     15},
    // F20: 32 BPM at once; F00: a row every tick; F7D: 125 BPM; F02: speed 2.
    {"speed_and_tempo",
     [] {
         xmwriter::Module m =
             module(1,
                    {pattern(1, {"--- .. .. F20", "--- .. .. F00", "--- .. .. ...", "--- .. .. F7D",
                                 "--- .. .. F02", "--- .. .. ..."})},
                    {0});
         m.speed = 3;
         return m;
     },
     10},
};

INSTANTIATE_TEST_SUITE_P(Traces, ReplayTraceTest, testing::ValuesIn(TRACES),
                         [](const testing::TestParamInfo<TraceCase>& param_info) {
                             return std::string(param_info.param.name);
                         });

// Runs `ticks` ticks and reports whether the song looped.
bool looped_after(const xmwriter::Module& m, int ticks)
{
    const std::vector<uint8_t> bytes = xmwriter::write(m);
    player::Song* song = test_support::load_module(bytes);
    EXPECT_NE(song, nullptr);
    if (song == nullptr) return false;
    player::voice_pool_create(44100);
    player::song_start(song);
    for (int t = 0; t < ticks; ++t) player::replay_tick(song);
    const bool looped = song->song_looped != 0;
    player::song_free(song);
    player::voice_pool_destroy();
    return looped;
}

TEST(ReplayTest, RunningOffTheEndSetsLooped)
{
    xmwriter::Module m = module(1, {pattern(1, {"--- .. .. ...", "--- .. .. ..."})}, {0, 0});
    m.speed = 1;
    // Set on the first tick of the last row, when the next position is worked out.
    EXPECT_FALSE(looped_after(m, 3));
    EXPECT_TRUE(looped_after(m, 4));
}

TEST(ReplayTest, JumpOrBreakPastTheEndDoesNotSetLooped)
{
    for (const char* jump : {"--- .. .. B05", "--- .. .. D00"}) {
        xmwriter::Module m = module(1, {pattern(1, {"--- .. .. ...", jump})}, {0});
        m.speed = 1;
        EXPECT_FALSE(looped_after(m, 10)) << jump;
    }
}

TEST(ReplayTest, HeaderSpeedZeroPlaysARowEveryTick)
{
    xmwriter::Module m =
        module(1, {pattern(1, {"--- .. .. ...", "--- .. .. ...", "--- .. .. ..."})}, {0});
    m.speed = 0;
    const std::vector<uint8_t> bytes = xmwriter::write(m);
    player::Song* song = test_support::load_module(bytes);
    ASSERT_NE(song, nullptr);
    player::voice_pool_create(44100);
    player::song_start(song);
    for (int expected_row : {0, 1, 2, 0}) {
        player::replay_tick(song);
        EXPECT_EQ(song->row, expected_row);
    }
    player::song_free(song);
    player::voice_pool_destroy();
}

TEST(ReplayTest, RestartPositionOutsideTheOrderListStartsOver)
{
    xmwriter::Module m =
        module(1, {pattern(1, {"--- .. .. ..."}), pattern(1, {"--- .. .. ..."})}, {0, 1});
    m.speed = 1;
    m.restart = 200;  // order_table[200] names pattern 0 in the file, but no order plays it
    const std::vector<uint8_t> bytes = xmwriter::write(m);
    player::Song* song = test_support::load_module(bytes);
    ASSERT_NE(song, nullptr);
    player::voice_pool_create(44100);
    player::song_start(song);
    for (int expected_order : {0, 1, 0, 1}) {
        player::replay_tick(song);
        EXPECT_EQ(song->order, expected_order);
    }
    player::song_free(song);
    player::voice_pool_destroy();
}

TEST(ReplayTest, StrayCellNoteAboveTheTablePlaysTheEmptySample)
{
    // Notes 98..254 never come from a real file; the loader keeps them as they are.
    xmwriter::Module m = module(1, {pattern(1, {"C-4 01 .. ..."})}, {0});
    m.patterns[0].at(0, 0, 1).note = 120;
    const std::vector<uint8_t> bytes = xmwriter::write(m);
    player::Song* song = test_support::load_module(bytes);
    ASSERT_NE(song, nullptr);
    player::voice_pool_create(44100);
    player::song_start(song);
    player::replay_tick(song);
    EXPECT_EQ(player::voice_pool()[0].sample, &player::empty_sample);
    player::song_free(song);
    player::voice_pool_destroy();
}

TEST(ReplayTest, CommitWithoutVoicePoolDoesNothing)
{
    player::voice_pool_destroy();
    player::Channel channel{};
    channel.voice_index = 0;
    channel.period = 4608;
    channel.update = player::UPDATE_TRIGGER | player::UPDATE_VOLUME | player::UPDATE_PANNING |
                     player::UPDATE_FREQUENCY | player::UPDATE_STOP;
    player::Song song{};
    song.rules = player::Rules::SHOW;
    player::channel_commit(&channel, &player::empty_sample, &song);
    EXPECT_EQ(channel.voice_index, -1);
}

}  // namespace

namespace {
namespace random_module {

uint32_t state = 12345;

uint32_t next(uint32_t range)
{
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
}

xmwriter::Envelope envelope()
{
    xmwriter::Envelope e;
    // Up to 20 points: the file's count can exceed the 12 points it stores.
    const uint32_t count = next(21);
    for (uint32_t i = 0; i < count; ++i) {
        e.points.push_back({static_cast<uint16_t>(next(100)), static_cast<uint16_t>(next(100))});
    }
    e.sustain = static_cast<uint8_t>(next(24));
    e.loop_start = static_cast<uint8_t>(next(24));
    e.loop_end = static_cast<uint8_t>(next(24));
    e.type = static_cast<uint8_t>(next(8));
    return e;
}

xmwriter::Module build()
{
    xmwriter::Module m;
    m.channels = 1 + static_cast<int>(next(6));
    m.flags = static_cast<uint16_t>(next(2));
    m.speed = static_cast<uint16_t>(next(8));
    m.bpm = static_cast<uint16_t>(next(256));
    m.restart = static_cast<uint16_t>(next(300));
    const uint32_t patterns = 1 + next(4);
    for (uint32_t p = 0; p < patterns; ++p) {
        xmwriter::Pattern pattern;
        pattern.rows = static_cast<int>(next(70));
        for (int row = 0; row < pattern.rows; ++row) {
            for (int c = 0; c < m.channels; ++c) {
                xmwriter::Cell& cell = pattern.at(row, c, m.channels);
                cell.note = static_cast<uint8_t>(next(4) == 0 ? next(98) : 0);
                cell.instrument = static_cast<uint8_t>(next(5));
                cell.volume = static_cast<uint8_t>(next(4) == 0 ? next(256) : 0);
                if (next(2) == 0) {
                    cell.effect = static_cast<uint8_t>(next(36));
                    cell.parameter = static_cast<uint8_t>(next(256));
                }
            }
        }
        m.patterns.push_back(pattern);
    }
    const uint32_t orders = 1 + next(6);
    for (uint32_t i = 0; i < orders; ++i) m.orders.push_back(static_cast<uint8_t>(next(6)));
    for (int i = 0; i < 3; ++i) {
        xmwriter::Instrument ins;
        xmwriter::Sample s;
        const uint32_t length = 1 + next(3000);
        s.frames.assign(length, 0);
        s.loop = static_cast<uint8_t>(next(3));
        s.loop_start = next(length);
        s.loop_length = next(length - s.loop_start + 1);
        s.volume = static_cast<uint8_t>(next(256));
        s.finetune = static_cast<int8_t>(next(256));
        s.panning = static_cast<uint8_t>(next(256));
        s.relative_note = static_cast<int8_t>(next(256));
        ins.samples.push_back(s);
        for (uint8_t& n : ins.note_sample) n = static_cast<uint8_t>(next(3));
        ins.volume = envelope();
        ins.panning = envelope();
        ins.vibrato_type = static_cast<uint8_t>(next(6));
        ins.vibrato_sweep = static_cast<uint8_t>(next(256));
        ins.vibrato_depth = static_cast<uint8_t>(next(256));
        ins.vibrato_rate = static_cast<uint8_t>(next(256));
        ins.fadeout = static_cast<uint16_t>(next(0x8000));
        m.instruments.push_back(ins);
    }
    return m;
}

}  // namespace random_module

// Every cell, envelope and header field the replay reads, at random, with the mixer running
// between ticks: nothing may be read outside the song (the sanitizer build checks that) and
// the voices stay within their ranges.
TEST(ReplayTest, RandomModulesKeepVoicesInRange)
{
    for (int round = 0; round < 60; ++round) {
        const std::vector<uint8_t> bytes = xmwriter::write(random_module::build());
        for (const player::Rules rules : {player::Rules::SHOW, player::Rules::FT2}) {
            player::Song* song = test_support::load_module(bytes, rules);
            ASSERT_NE(song, nullptr) << "round " << round;
            ASSERT_TRUE(player::voice_pool_create(44100));
            ASSERT_TRUE(player::song_start(song));
            ASSERT_GT(song->samples_per_tick, 0);
            const player::Voice* pool = player::voice_pool();
            std::vector<float> mixed(2 * 64);
            for (int t = 0; t < 2000; ++t) {
                player::replay_tick(song);
                // A little mixing between ticks lets voices run off their samples and stop.
                player::mix_voices(mixed.data(), player::active_voices(), 64);
                for (int c = 0; c < song->channel_count; ++c) {
                    const player::Voice& v = pool[c];
                    ASSERT_GE(v.volume, 0);
                    ASSERT_LE(v.volume, 255);
                    ASSERT_GE(v.panning, 0);
                    ASSERT_LE(v.panning, 255);
                    ASSERT_LE(v.step, 16u);
                    ASSERT_GE(song->row, 0);
                }
            }
            player::song_free(song);
            player::voice_pool_destroy();
        }
    }
}

}  // namespace
