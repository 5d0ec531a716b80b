// pitch_test.cpp -- periods, frequencies, voice setters, envelopes and vibratos

#include "player/replay/pitch.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "player/mixer/mixer.h"

namespace player {
namespace {

struct PeriodCase {
    int32_t note;
    int8_t finetune;
    bool linear;
    int32_t period;
};

void PrintTo(const PeriodCase& c, std::ostream* os)
{
    *os << "note " << c.note << " finetune " << int{c.finetune}
        << (c.linear ? " linear" : " amiga");
}

class NoteToPeriodTest : public testing::TestWithParam<PeriodCase> {};

TEST_P(NoteToPeriodTest, MatchesTable)
{
    const PeriodCase& c = GetParam();
    EXPECT_EQ(note_to_period(c.note, c.finetune, c.linear), c.period);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, NoteToPeriodTest,
    testing::Values(PeriodCase{48, 0, true, 4608}, PeriodCase{60, 0, true, 3840},
                    // finetune / 2 truncates toward zero
                    PeriodCase{48, -128, true, 4672}, PeriodCase{48, 127, true, 4545},
                    PeriodCase{48, -3, true, 4609}, PeriodCase{0, 0, true, 7680},
                    PeriodCase{255, 0, true, 7680 - 255 * 64}, PeriodCase{48, 0, false, 1712},
                    PeriodCase{60, 0, false, 856}, PeriodCase{96, 0, false, 107},
                    PeriodCase{0, 0, false, 27392},
                    // -128 reaches the previous note exactly; 127 goes 127/128 of the way up
                    PeriodCase{48, -128, false, 1813}, PeriodCase{48, 127, false, 1616},
                    // note 0 has no previous note: a negative finetune takes the upper step
                    PeriodCase{0, -5, false, 27452},
                    // far past the table the period is 0 (no frequency is ever computed)
                    PeriodCase{255, 0, false, 0}));

struct FrequencyCase {
    int32_t period, offset;
    bool linear;
    int32_t hz;
};

void PrintTo(const FrequencyCase& c, std::ostream* os)
{
    *os << "period " << c.period << " offset " << c.offset << (c.linear ? " linear" : " amiga");
}

class ChannelFrequencyTest : public testing::TestWithParam<FrequencyCase> {};

TEST_P(ChannelFrequencyTest, MatchesFormula)
{
    const FrequencyCase& c = GetParam();
    EXPECT_EQ(channel_frequency(c.period, c.offset, c.linear), c.hz);
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, ChannelFrequencyTest,
    testing::Values(FrequencyCase{4608, 0, true, 8363}, FrequencyCase{3840, 0, true, 16726},
                    // a positive offset raises the pitch in the linear table...
                    FrequencyCase{4608, 64, true, 8860}, FrequencyCase{4672, 64, true, 8363},
                    // ...and lowers it in the Amiga table, whose constant is not 8363 * 1712
                    FrequencyCase{1712, 0, false, 8362}, FrequencyCase{1712, 100, false, 7901},
                    FrequencyCase{-1712, 0, false, -8362},
                    // a period slid far below zero saturates instead of overflowing
                    FrequencyCase{-100000, 0, true, INT32_MAX}));

class VoiceSetterTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(voice_pool_create(44100)); }
    void TearDown() override { voice_pool_destroy(); }
    Voice& voice(int32_t index) { return voice_pool()[index]; }
};

TEST_F(VoiceSetterTest, FrequencyBecomesStep)
{
    voice_set_frequency(3, 8363);
    EXPECT_EQ(voice(3).frequency, 8363);
    EXPECT_EQ(voice(3).step, 0u);
    EXPECT_EQ(voice(3).step_frac, 814485521u);

    voice_set_frequency(3, 88200);
    EXPECT_EQ(voice(3).step, 2u);
    EXPECT_EQ(voice(3).step_frac, 0u);
}

TEST_F(VoiceSetterTest, FrequencyIsClampedForTheStepOnly)
{
    voice_set_frequency(0, 50);
    EXPECT_EQ(voice(0).frequency, 50);
    EXPECT_EQ(voice(0).step, 0u);
    EXPECT_EQ(voice(0).step_frac, 9739154u);  // 100 Hz

    voice_set_frequency(0, -400);
    EXPECT_EQ(voice(0).step_frac, 9739154u);

    voice_set_frequency(0, 2000000);
    EXPECT_EQ(voice(0).step, 16u);
    EXPECT_EQ(voice(0).step_frac, 0u);
}

TEST_F(VoiceSetterTest, GainsFollowTheLatestVolumeAndPanning)
{
    voice_set_panning(1, 128);
    voice_set_volume(1, 127);
    EXPECT_EQ(voice(1).gain_left, 63);
    EXPECT_EQ(voice(1).gain_right, 63);
    voice_set_panning(1, 0);
    EXPECT_EQ(voice(1).gain_left, 127);
    EXPECT_EQ(voice(1).gain_right, 0);
    voice_set_volume(1, 255);
    voice_set_panning(1, 255);
    EXPECT_EQ(voice(1).gain_left, 0);
    EXPECT_EQ(voice(1).gain_right, 255);
}

TEST_F(VoiceSetterTest, OutOfRangeValuesNeverWrapTheGains)
{
    // A panning envelope can swing the centre to 256; a wrap would put the sound hard left.
    voice_set_volume(2, 255);
    voice_set_panning(2, 256);
    EXPECT_EQ(voice(2).panning, 255);
    EXPECT_EQ(voice(2).gain_left, 0);
    EXPECT_EQ(voice(2).gain_right, 255);
    voice_set_volume(2, 300);
    EXPECT_EQ(voice(2).volume, 255);
    EXPECT_EQ(voice(2).gain_right, 255);
}

TEST_F(VoiceSetterTest, IndexOutsideThePoolIsIgnored)
{
    voice_set_volume(-1, 100);
    voice_set_volume(VOICE_COUNT, 100);
    voice_set_frequency(-1, 8363);
    for (int32_t i = 0; i < VOICE_COUNT; ++i) EXPECT_EQ(voice(i).volume, 0);
}

TEST(VoiceSetterWithoutPoolTest, DoesNothing)
{
    voice_pool_destroy();
    voice_set_volume(0, 64);
    voice_set_panning(0, 64);
    voice_set_frequency(0, 8363);
    EXPECT_EQ(voice_pool(), nullptr);
}

struct VibratoCase {
    uint8_t waveform;
    int8_t phase;
    uint8_t depth;
    int32_t offset;
};

void PrintTo(const VibratoCase& c, std::ostream* os)
{
    *os << "waveform " << int{c.waveform} << " phase " << int{c.phase} << " depth " << int{c.depth};
}

class VibratoTest : public testing::TestWithParam<VibratoCase> {};

TEST_P(VibratoTest, OffsetFromPhaseAndDepth)
{
    const VibratoCase& c = GetParam();
    Channel channel{};
    channel.wave_control = c.waveform;
    channel.vib_phase = c.phase;
    channel.vib_depth = c.depth;
    channel.period_offset = 999;  // replaced, not added to
    vibrato_step(&channel);
    EXPECT_EQ(channel.period_offset, c.offset);
    EXPECT_EQ(channel.update, UPDATE_FREQUENCY);
}

INSTANTIATE_TEST_SUITE_P(
    Waveforms, VibratoTest,
    testing::Values(
        // sine: |sin| * 256 truncated; the peak at phase 16 truncates to 255
        VibratoCase{0, 0, 15, 0}, VibratoCase{0, 16, 15, -116}, VibratoCase{0, -16, 15, 116},
        VibratoCase{0, 8, 8, -44},  // sin(pi/4) * 256 = 181 -> 181 * 8 >> 5 = 45 -> 44
        // ramp: phase -32 -> 255 ... -1 -> 7, 0 -> 0 ... 31 -> 248
        VibratoCase{1, -32, 15, 116}, VibratoCase{1, -1, 15, 0}, VibratoCase{1, 31, 15, -116},
        VibratoCase{1, 16, 8, -32},
        // square, both encodings; the sign still follows the phase
        VibratoCase{2, 0, 4, -28}, VibratoCase{3, -5, 4, 28},
        // only the waveform bits choose: bit 2 keeps the phase, it is no fourth shape
        VibratoCase{5, 31, 15, -116}));

TEST(VibratoAdvanceTest, PhaseWrapsWithinMinus32To31)
{
    Channel channel{};
    channel.vib_speed = 15;
    std::vector<int> phases;
    for (int i = 0; i < 6; ++i) {
        vibrato_advance(&channel);
        phases.push_back(channel.vib_phase);
    }
    EXPECT_EQ(phases, (std::vector<int>{15, 30, -19, -4, 11, 26}));
}

struct AutoVibratoCase {
    uint8_t type, sweep, depth, rate;
    std::vector<int32_t> offsets;  // one per tick from channel_reset
};

void PrintTo(const AutoVibratoCase& c, std::ostream* os)
{
    *os << "type " << int{c.type} << " sweep " << int{c.sweep} << " depth " << int{c.depth}
        << " rate " << int{c.rate};
}

class AutoVibratoTest : public testing::TestWithParam<AutoVibratoCase> {};

TEST_P(AutoVibratoTest, OffsetsTickByTick)
{
    const AutoVibratoCase& c = GetParam();
    Instrument instrument{};
    instrument.vibrato_type = c.type;
    instrument.vibrato_sweep = c.sweep;
    instrument.vibrato_depth = c.depth;
    instrument.vibrato_rate = c.rate;
    Channel channel{};
    std::vector<int32_t> offsets;
    for (size_t i = 0; i < c.offsets.size(); ++i) {
        channel.period_offset = 0;
        auto_vibrato_step(&channel, &instrument);
        offsets.push_back(channel.period_offset);
        EXPECT_EQ(channel.update & UPDATE_FREQUENCY, UPDATE_FREQUENCY);
    }
    EXPECT_EQ(offsets, c.offsets);
}

INSTANTIATE_TEST_SUITE_P(
    Types, AutoVibratoTest,
    testing::Values(
        // square, depth 15, no sweep: +15 for 128 phase units, then -15
        AutoVibratoCase{1, 0, 15, 64, {15, 15, -15, -15, 15}},
        // sine at depth 64: 0, peak 63 at phase 64 (63.99 truncates), 0, -63
        AutoVibratoCase{0, 0, 64, 64, {0, 63, 0, -63, 0}},
        // type 2 falls from 0 to -64 over the first half, jumps to 64 at 128
        AutoVibratoCase{2, 0, 64, 64, {0, -32, 64, 32, 0}},
        // type 3 rises from 0 to 64 at 128, then jumps to -64 and rises
        AutoVibratoCase{3, 0, 64, 64, {0, 32, 64, -32, 0}},
        // the sweep grows the depth linearly over `sweep` ticks, starting at nothing
        AutoVibratoCase{1, 4, 15, 0, {0, 3, 7, 11, 15, 15}},
        // no waveform for types above 3
        AutoVibratoCase{4, 0, 15, 64, {0, 0, 0}},
        // the phase wraps past 255
        AutoVibratoCase{1, 0, 15, 96, {15, 15, -15, 15, -15, -15}}));

// A four-point envelope: (0,0) (4,64) (8,32) (12,16).
Instrument envelope_instrument(uint8_t type, uint8_t sustain, uint8_t loop_start, uint8_t loop_end)
{
    Instrument instrument{};
    const EnvelopePoint points[4] = {{0, 0}, {4, 64}, {8, 32}, {12, 16}};
    for (int i = 0; i < 4; ++i) instrument.volume_envelope[i] = points[i];
    instrument.volume_points = 4;
    instrument.volume_type = type;
    instrument.volume_sustain = sustain;
    instrument.volume_loop_start = loop_start;
    instrument.volume_loop_end = loop_end;
    return instrument;
}

std::vector<int32_t> run_envelope(const Instrument& instrument, int ticks, int release_at = -1)
{
    Channel channel{};
    channel.venv_value = 64;
    std::vector<int32_t> values;
    for (int t = 0; t < ticks; ++t) {
        if (t == release_at) channel.key_off = 1;
        if (channel.venv_done == 0) {
            channel.update = 0;
            envelope_step(&channel, volume_envelope(&instrument), volume_cursor(&channel),
                          UPDATE_VOLUME);
            EXPECT_EQ(channel.update, UPDATE_VOLUME);
        }
        values.push_back(channel.venv_value);
    }
    return values;
}

TEST(EnvelopeTest, RunsThroughItsPointsAndFinishes)
{
    const Instrument instrument = envelope_instrument(ENVELOPE_ON, 0, 0, 0);
    EXPECT_EQ(run_envelope(instrument, 15),
              (std::vector<int32_t>{0, 16, 32, 48, 64, 56, 48, 40, 32, 28, 24, 20, 16, 16, 16}));
}

TEST(EnvelopeTest, SustainHoldsUntilReleaseThenContinues)
{
    const Instrument instrument = envelope_instrument(ENVELOPE_ON | ENVELOPE_SUSTAIN, 1, 0, 0);
    // Released at tick 7: that tick starts the next segment at the sustain value.
    EXPECT_EQ(run_envelope(instrument, 10, 7),
              (std::vector<int32_t>{0, 16, 32, 48, 64, 64, 64, 64, 56, 48}));
}

TEST(EnvelopeTest, LoopEndingOnTheLastPointNeverFinishes)
{
    const Instrument instrument = envelope_instrument(ENVELOPE_ON | ENVELOPE_LOOP, 0, 1, 3);
    const std::vector<int32_t> values = run_envelope(instrument, 22);
    EXPECT_EQ(values, (std::vector<int32_t>{0,  16, 32, 48, 64, 56, 48, 40, 32, 28, 24,
                                            20, 64, 56, 48, 40, 32, 28, 24, 20, 64, 56}));
}

TEST(EnvelopeTest, LoopJumpComesBeforeSustainOnTheSamePoint)
{
    // The loop jump is taken first and the sustain test then looks at the loop start, so a
    // sustain on the loop end never holds.
    const Instrument instrument =
        envelope_instrument(ENVELOPE_ON | ENVELOPE_SUSTAIN | ENVELOPE_LOOP, 2, 1, 2);
    EXPECT_EQ(run_envelope(instrument, 12),
              (std::vector<int32_t>{0, 16, 32, 48, 64, 56, 48, 40, 64, 56, 48, 40}));
}

TEST(EnvelopeTest, PointCountAndLoopStartOutsideTheTableAreBounded)
{
    Instrument instrument = envelope_instrument(ENVELOPE_ON | ENVELOPE_LOOP, 0, 40, 1);
    instrument.volume_points = 200;  // only 12 exist
    const std::vector<int32_t> values = run_envelope(instrument, 40);
    EXPECT_EQ(values[4], 64);  // the loop to point 40 is ignored, the slope goes on
}

}  // namespace
}  // namespace player

namespace player {
namespace {

// FT2's Amiga table, entries read off FT2's own: ProTracker's periods times 32 in the first
// octave, odd entries the mean of their neighbours, halves rounded down in the high octaves
// (453.5 -> 453, 226.75 -> 227), and the last semitone read from past FT2's data.
struct AmigaEntry {
    int32_t index;
    int32_t period;
};

TEST(Ft2AmigaTableTest, EntriesAreFt2s)
{
    const AmigaEntry entries[] = {
        {0, 29024},  {1, 28912},  {16, 27392}, {82, 21600}, {784, 1712}, {1152, 453}, {1153, 451},
        {1344, 227}, {1345, 226}, {1909, 29},  {1919, 22},  {1920, 16},  {1924, 32},  {1935, 0},
    };
    for (const AmigaEntry& e : entries) {
        EXPECT_EQ(ft2_table_period(e.index, false), e.period) << "entry " << e.index;
    }
    // The linear table is plain arithmetic; C-4 at finetune 0 is 4608 in both senses.
    EXPECT_EQ(ft2_table_period(784, true), 4608);
    EXPECT_EQ(ft2_note_period(49, 0, false), 1712);
    // Finetune keeps 1/16 of a semitone, rounding down: -1 is a whole step below 0.
    EXPECT_EQ(ft2_note_period(49, -1, false), ft2_table_period(783, false));
}

class Ft2StepTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(voice_pool_create(44100)); }
    void TearDown() override { voice_pool_destroy(); }
};

TEST_F(Ft2StepTest, PeriodsBecomeStepsWithoutRoundingToHertz)
{
    constexpr double ONE = 4294967296.0;
    // C-4 is 8363 Hz in either table (to within FT2's fixed point).
    EXPECT_NEAR(static_cast<double>(ft2_step(4608, true)), 8363.0 / 44100.0 * ONE, 2.0);
    EXPECT_NEAR(static_cast<double>(ft2_step(1712, false)), 8363.0 / 44100.0 * ONE, 2.0);
    // An octave is 768 linear units, and a single unit still moves the step.
    EXPECT_NEAR(static_cast<double>(ft2_step(4608 - 768, true)),
                2.0 * static_cast<double>(ft2_step(4608, true)), 2.0);
    EXPECT_GT(ft2_step(4607, true), ft2_step(4608, true));
    EXPECT_GT(ft2_step(30000, false), 0u);
    // Period 0 stands the voice still; linear periods past 9216 wrap to under a hertz.
    EXPECT_EQ(ft2_step(0, true), 0u);
    EXPECT_EQ(ft2_step(0, false), 0u);
    EXPECT_LT(ft2_step(9300, true), static_cast<uint64_t>(ONE / 44100.0));
    EXPECT_GT(ft2_step(9216, true), static_cast<uint64_t>(100.0 / 44100.0 * ONE));
}

TEST_F(Ft2StepTest, SetterWritesTheStepAndItsHertz)
{
    voice_set_step(2, ft2_step(1712, false));
    const Voice& v = voice_pool()[2];
    EXPECT_EQ(v.step, 0u);
    EXPECT_EQ((uint64_t{v.step} << 32 | v.step_frac), ft2_step(1712, false));
    EXPECT_NEAR(v.frequency, 8363, 1);  // the step in hertz, rounded down
    // A step of a few units of period stops at 16 frames.
    voice_set_step(2, ft2_step(1, false));
    EXPECT_EQ(v.step, 16u);
    EXPECT_EQ(v.step_frac, 0u);
    voice_set_step(2, 0);
    EXPECT_EQ(v.frequency, 0);
}

}  // namespace
}  // namespace player
