// effects_test.cpp -- every volume-column and effect command, pinned by per-tick traces
// (traces/*.txt), and the multi-retrigger volume table

#include "player/replay/effects.h"

#include <gtest/gtest.h>

#include <ostream>

#include "tests/player/replay_trace.h"

namespace {

using replay_trace::module;
using replay_trace::pattern;

using replay_trace::TraceCase;

class EffectTraceTest : public testing::TestWithParam<TraceCase> {};

TEST_P(EffectTraceTest, MatchesGolden)
{
    const TraceCase& c = GetParam();
    replay_trace::expect_golden(c.name, replay_trace::run(c.build(), c.ticks));
}

// One channel at the given speed playing `rows`.
xmwriter::Module single(int speed, std::vector<std::string> rows,
                        uint16_t flags = player::FLAG_LINEAR)
{
    xmwriter::Module m = module(1, {pattern(1, rows)}, {0});
    m.speed = static_cast<uint16_t>(speed);
    m.flags = flags;
    return m;
}

const TraceCase TRACES[] = {
    // Set volume, slides on every tick (6y, 7y) and on the first only (8y, 9y), 0x50, two
    // non-commands (5F right after a slide down, so that a 5F setting any volume shows),
    // vibrato speed and depth, set panning and its slides, and Fy with a note: the note
    // slides instead of sounding (no retrigger).
    {"volume_column",
     [] {
         return single(3, {"C-4 01 .. ...", "--- .. 30 ...", "--- .. 65 ...", "--- .. 5F ...",
                           "--- .. 72 ...", "--- .. 83 ...", "--- .. 94 ...", "--- .. 50 ...",
                           "--- .. 05 ...", "--- .. A8 ...", "--- .. B4 ...", "--- .. C4 ...",
                           "--- .. D8 ...", "--- .. E4 ...", "D-4 .. F4 ...", "--- .. 10 ..."});
     },
     48},
    // 1xx and 2xx with their memories; 3xx stops exactly on D-4 and 300 reuses the speed;
    // Fy (speed y * 16) with a note, then 300 at that speed; 5xy slides and fades; E1y, E2y;
    // X1y and X2y with their memories; 1FF stops at period 56.
    {"portamento",
     [] {
         return single(3, {"C-4 01 .. 102", "--- .. .. 100", "--- .. .. 203", "--- .. .. 200",
                           "D-4 .. .. 310", "--- .. .. 300", "C-4 .. F4 ...", "D-4 .. .. 300",
                           "C-4 .. .. 501", "--- .. .. E13", "--- .. .. E24", "--- .. .. X15",
                           "--- .. .. X10", "--- .. .. X23", "--- .. .. X20", "--- .. .. 1FF",
                           "--- .. .. 100", "--- .. .. 100"});
     },
     54},
    // 4xy: the offset on tick 0 without moving the phase, then compute-and-advance; 400 keeps
    // speed and depth. E41 picks the ramp; a new instrument restarts the phase (6xy also slides
    // the volume) unless E4y set bit 2 (E45), which keeps it across the reset.
    {"vibrato",
     [] {
         return single(4, {"C-4 01 .. 484", "--- .. .. 400", "--- .. .. E41", "--- .. .. 400",
                           "C-4 01 .. 601", "--- .. .. E45", "C-4 01 .. 400"});
     },
     28},
    // 037 cycles 0, +3, +7 semitones by tick; 000 is no arpeggio.
    {"arpeggio",
     [] {
         return single(6, {"C-4 01 .. 037", "--- .. .. 000"});
     },
     12},
    // Amiga table: the offsets are period differences with the sample's finetune; E58 changes
    // the sample's finetune, heard at once by the arpeggio and by the next note.
    {"arpeggio_amiga",
     [] {
         return single(3, {"C-4 01 .. 037", "--- .. .. E58", "--- .. .. 037", "C-4 .. .. ..."}, 0);
     },
     12},
    // 9xx starts at xx * 256 frames of the 1000-frame sample, or without a note leaves the
    // offset for the next trigger (the note of row 2, the E92 of row 7); 900 reuses it; an
    // offset at or past the end stops the voice, with or without a note.
    {"sample_offset",
     [] {
         return single(3, {"C-4 01 .. 902", "--- .. .. 903", "C-4 .. .. 900", "--- .. .. 904",
                           "C-4 .. .. ...", "C-4 .. .. 904", "--- .. .. 901", "--- .. .. E92"});
     },
     24},
    // Axy with memory; Cxx past 64 (255 plays as the loudest voice volume instead of
    // wrapping the gains); EAy and EBy with their shared memory; EC1 cuts, EC0 never does;
    // Rxy with memory, R01 retriggers without a volume change; 7xy, E0y, X3y and an unknown
    // effect do nothing; K00 releases the note on tick 0.
    {"volume_effects",
     [] {
         return single(3, {"C-4 01 .. A02", "--- .. .. A00", "--- .. .. A30", "--- .. .. C20",
                           "--- .. .. CFF", "--- .. .. C30", "--- .. .. EA3", "--- .. .. EA0",
                           "--- .. .. EB5", "--- .. .. EB0", "--- .. .. EC1", "--- .. .. C40",
                           "--- .. .. EC0", "--- .. .. R31", "--- .. .. R00", "--- .. .. R01",
                           "--- .. .. 7FF", "--- .. .. E03", "--- .. .. X31", "--- .. .. Z10",
                           "--- .. .. K00"});
     },
     63},
    // Gxx reaches earlier channels only at their next volume update (the next row); Hxy
    // slides with memory and updates nobody; G50 is 64. 8xx, E8y, Pxy with memory and
    // limits. Txy: 2 ticks on, 3 off, counted across rows; T00 on a channel that never had
    // a tremor mutes it for the whole row.
    {"global_volume_panning_tremor",
     [] {
         xmwriter::Module m = module(3,
                                     {pattern(3, {"C-4 01 .. ...|C-4 01 .. ...|C-4 01 .. ...",
                                                  "--- .. .. ...|--- .. .. G20|--- .. .. ...",
                                                  "--- .. .. H02|--- .. .. ...|--- .. .. ...",
                                                  "--- .. .. H00|--- .. .. G50|--- .. .. ...",
                                                  "--- .. .. H20|--- .. .. ...|--- .. .. ...",
                                                  "--- .. .. ...|--- .. .. ...|--- .. .. ...",
                                                  "--- .. .. 840|--- .. .. E8C|--- .. .. T12",
                                                  "--- .. .. P0F|--- .. .. PF0|--- .. .. T00",
                                                  "--- .. .. P00|--- .. .. P00|--- .. .. ...",
                                                  "--- .. .. P00|--- .. .. P00|--- .. .. ...",
                                                  "--- .. .. T00|--- .. .. ...|--- .. .. ...",
                                                  "--- .. .. ...|--- .. .. ...|--- .. .. ..."})},
                                     {0});
         m.speed = 3;
         return m;
     },
     36},
};

INSTANTIATE_TEST_SUITE_P(Traces, EffectTraceTest, testing::ValuesIn(TRACES),
                         [](const testing::TestParamInfo<TraceCase>& param_info) {
                             return std::string(param_info.param.name);
                         });

struct RetriggerCase {
    uint8_t mode;
    int32_t volume_before, volume_after;
    bool volume_update;
};

void PrintTo(const RetriggerCase& c, std::ostream* os)
{
    *os << "mode " << int{c.mode} << ", volume " << c.volume_before;
}

class MultiRetriggerTest : public testing::TestWithParam<RetriggerCase> {};

TEST_P(MultiRetriggerTest, VolumeActionAndTrigger)
{
    const RetriggerCase& c = GetParam();
    player::Song song{};
    song.rules = player::Rules::SHOW;
    song.tick = 2;
    player::Channel channel{};
    channel.retrig_mode = c.mode;
    channel.retrig_interval = 2;
    channel.volume = c.volume_before;
    const player::Cell cell{0, 0, 0, player::EFFECT_MULTI_RETRIGGER, 0};
    player::effect_tick(&song, &channel, cell, &player::empty_instrument, &player::empty_sample);
    EXPECT_EQ(channel.volume, c.volume_after);
    EXPECT_EQ((channel.update & player::UPDATE_VOLUME) != 0, c.volume_update);
    EXPECT_NE(channel.update & player::UPDATE_TRIGGER, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MultiRetriggerTest,
    testing::Values(RetriggerCase{0, 30, 30, false}, RetriggerCase{1, 30, 29, true},
                    RetriggerCase{2, 30, 28, true}, RetriggerCase{3, 30, 26, true},
                    RetriggerCase{4, 30, 22, true}, RetriggerCase{5, 30, 14, true},
                    RetriggerCase{6, 31, 20, true}, RetriggerCase{7, 31, 15, true},
                    RetriggerCase{8, 30, 30, true}, RetriggerCase{9, 30, 31, true},
                    RetriggerCase{10, 30, 32, true}, RetriggerCase{11, 30, 34, true},
                    RetriggerCase{12, 30, 38, true}, RetriggerCase{13, 30, 46, true},
                    RetriggerCase{14, 31, 46, true}, RetriggerCase{15, 30, 60, true},
                    // clamped to 0..64, mode 8 included
                    RetriggerCase{5, 10, 0, true}, RetriggerCase{15, 40, 64, true},
                    RetriggerCase{8, 100, 64, true}));

TEST(MultiRetriggerTest, OnlyOnMultiplesOfTheInterval)
{
    player::Song song{};
    song.rules = player::Rules::SHOW;
    player::Channel channel{};
    channel.retrig_mode = 1;
    channel.retrig_interval = 3;
    channel.volume = 30;
    const player::Cell cell{0, 0, 0, player::EFFECT_MULTI_RETRIGGER, 0};
    for (int32_t tick = 1; tick <= 6; ++tick) {
        song.tick = tick;
        channel.update = 0;
        player::effect_tick(&song, &channel, cell, &player::empty_instrument,
                            &player::empty_sample);
        EXPECT_EQ((channel.update & player::UPDATE_TRIGGER) != 0, tick % 3 == 0) << tick;
    }
    EXPECT_EQ(channel.volume, 28);
}

TEST(ToneportaTest, StopsExactlyOnTheTargetFromEitherSide)
{
    player::Channel channel{};
    channel.porta_speed = 3;  // 12 period units a tick
    for (const auto& [from, to] : {std::pair{100, 130}, std::pair{130, 100}}) {
        channel.period = from;
        channel.porta_target = to;
        std::vector<int32_t> periods;
        for (int i = 0; i < 4; ++i) {
            player::tone_porta_step(&channel);
            periods.push_back(channel.period);
        }
        const int32_t sign = to > from ? 1 : -1;
        EXPECT_EQ(periods, (std::vector<int32_t>{from + sign * 12, from + sign * 24, to, to}));
    }
}

}  // namespace
