// mixer_test.cpp -- voice pool, resampling, loops, gain ramps and PCM conversion

#include "player/mixer/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using namespace player;

constexpr uint64_t ONE = uint64_t{1} << 32;

// A sample as the loader leaves it: length + 8 frames, the frame after the loop end patched.
struct TestSample {
    std::vector<int16_t> frames;
    Sample sample{};

    TestSample(std::vector<int16_t> values, uint8_t kind, uint32_t loop_start, uint32_t loop_length)
        : frames(std::move(values))
    {
        const uint32_t length = static_cast<uint32_t>(frames.size());
        frames.resize(length + 8, 0);
        sample.data = frames.data();
        sample.length = length;
        sample.loop_kind = kind;
        sample.loop_start = kind == LOOP_NONE ? 0 : loop_start;
        sample.loop_length = kind == LOOP_NONE ? length : loop_length;
        sample.bits = 16;
        const uint32_t end = sample.loop_start + sample.loop_length;
        sample.loop_saved = frames[end];
        frames[end] = kind == LOOP_PINGPONG ? frames[end - 1] : frames[sample.loop_start];
    }
};

std::vector<int16_t> sawtooth(size_t count)
{
    std::vector<int16_t> values(count);
    for (size_t i = 0; i < count; ++i) values[i] = static_cast<int16_t>((i * 389) % 20000 - 10000);
    return values;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(voice_pool_create(44100)); }
    void TearDown() override { voice_pool_destroy(); }

    Voice& voice(int index = 0) { return voice_pool()[index]; }

    void set_step(Voice& v, uint64_t step)
    {
        v.step = static_cast<uint32_t>(step >> 32);
        v.step_frac = static_cast<uint32_t>(step);
    }

    // Starts `sample` on voice 0 at `position` (32.32) with settled gains: no ramp runs.
    Voice& start(Sample* sample, uint64_t position, uint64_t step, uint8_t gain = 255)
    {
        Voice& v = voice();
        v.gain_left = v.gain_right = v.current_left = v.current_right = gain;
        v.ramp_frames = 0;
        set_step(v, step);
        v.start_offset = static_cast<uint32_t>(position >> 32);
        EXPECT_EQ(voice_play(0, sample), 0);
        v.position_frac = static_cast<uint32_t>(position);
        return v;
    }

    std::vector<float> mix(int32_t frames)
    {
        std::vector<float> out(2 * static_cast<size_t>(frames), 0.0f);
        mix_voices(out.data(), active_voices(), frames);
        return out;
    }

    uint64_t position(const Voice& v) { return (uint64_t{v.position} << 32) | v.position_frac; }
};

TEST(MixerPoolTest, NoPoolMeansNoVoices)
{
    voice_pool_destroy();
    EXPECT_EQ(voice_pool(), nullptr);
    TestSample s(sawtooth(10), LOOP_NONE, 0, 0);
    EXPECT_EQ(voice_play(0, &s.sample), -1);
    EXPECT_TRUE(voice_stop(0));
    EXPECT_FALSE(voice_pool_create(0));
}

struct RateCase {
    int32_t rate;
    int32_t ramp;
};

class MixerPoolRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(MixerPoolRateTest, LinksAllVoicesInIndexOrderWithTheRampForTheRate)
{
    ASSERT_TRUE(voice_pool_create(GetParam().rate));
    EXPECT_EQ(output_rate(), GetParam().rate);
    EXPECT_EQ(ramp_length(), GetParam().ramp);
    int expected = 0;
    for (Voice* v = active_voices()->next; v != active_voices(); v = v->next, ++expected) {
        ASSERT_EQ(v, &voice_pool()[expected]);
        EXPECT_EQ(v->index, expected);
        EXPECT_EQ(v->sample, nullptr);
    }
    EXPECT_EQ(expected, VOICE_COUNT);
    voice_pool_destroy();
    EXPECT_EQ(active_voices()->next, active_voices());
}

INSTANTIATE_TEST_SUITE_P(Rates, MixerPoolRateTest,
                         ::testing::Values(RateCase{44100, 128}, RateCase{48000, 139},
                                           RateCase{22050, 64}, RateCase{100, 1}));

TEST_F(MixerTest, PlayStartsAtTheOffsetUnlessItIsPastTheLoopEnd)
{
    std::vector<int16_t> values(5000, 0);
    TestSample s(values, LOOP_FORWARD, 1000, 3000);
    Voice& v = voice(7);
    v.start_offset = 5000;
    v.direction = DIRECTION_BACKWARD;
    EXPECT_EQ(voice_play(7, &s.sample), 7);
    EXPECT_EQ(v.position, 0u);
    EXPECT_EQ(v.direction, DIRECTION_FORWARD);
    v.start_offset = 3999;
    v.position_frac = 123;
    voice_play(7, &s.sample);
    EXPECT_EQ(v.position, 3999u);
    EXPECT_EQ(v.position_frac, 0u);
    EXPECT_EQ(v.start_offset, 0u);
    EXPECT_EQ(voice_play(7, nullptr), -1);
    EXPECT_TRUE(voice_stop(7));
    EXPECT_EQ(v.sample, nullptr);
}

TEST_F(MixerTest, NonLoopingVoiceStopsAtTheSampleEnd)
{
    TestSample s(sawtooth(12), LOOP_NONE, 0, 0);
    Voice& v = start(&s.sample, 10 * ONE, ONE);
    const std::vector<float> out = mix(6);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.position, 0u);
    EXPECT_EQ(v.position_frac, 0u);
    EXPECT_FLOAT_EQ(out[0], s.frames[10]);
    EXPECT_FLOAT_EQ(out[2], s.frames[11]);
    for (size_t k = 4; k < out.size(); ++k) EXPECT_EQ(out[k], 0.0f);
}

TEST_F(MixerTest, ForwardLoopCrossesItsEndMidCall)
{
    TestSample s(sawtooth(300), LOOP_FORWARD, 100, 100);
    Voice& v = start(&s.sample, 199 * ONE + ONE / 2, ONE);
    const std::vector<float> out = mix(10);
    // Frame 0 between 199 and the patched frame 200 (= frame 100); then 100.5, 101.5, ...
    EXPECT_FLOAT_EQ(out[0], s.frames[199] + 0.5f * (s.frames[100] - s.frames[199]));
    EXPECT_FLOAT_EQ(out[2], s.frames[100] + 0.5f * (s.frames[101] - s.frames[100]));
    EXPECT_EQ(position(v), 109 * ONE + ONE / 2);
    EXPECT_EQ(v.direction, DIRECTION_FORWARD);
}

TEST_F(MixerTest, PingPongTurnsAtBothEnds)
{
    TestSample s(sawtooth(40), LOOP_PINGPONG, 10, 10);
    Voice& v = start(&s.sample, 15 * ONE, ONE);
    mix(5);  // 15..19: reaches 20 and turns
    EXPECT_EQ(v.direction, DIRECTION_BACKWARD);
    EXPECT_EQ(position(v), 20 * ONE - 1);
    std::vector<float> out = mix(3);
    // Backward from just below 20; the interpolation weight is the top 31 bits of the fraction.
    const float w = static_cast<float>(0x7FFFFFFF) * 0x1p-31f;
    EXPECT_FLOAT_EQ(out[0], s.frames[19] + w * (s.frames[20] - s.frames[19]));
    mix(9);  // seven frames down to 10.99..., the turn at 10, two frames up
    EXPECT_EQ(v.direction, DIRECTION_FORWARD);
    EXPECT_EQ(v.position, 12u);
    for (int k = 0; k < 100; ++k) {
        mix(7);
        ASSERT_GE(v.position, 10u);
        ASSERT_LT(v.position, 20u);
    }
}

// Per-frame model of the resampler without ramps: the whole result must match it bit for bit,
// however the mixer divides its work into segments and calls.
std::vector<float> reference(const TestSample& s, uint64_t p, uint64_t step, int32_t frames,
                             float gain)
{
    std::vector<float> out(2 * static_cast<size_t>(frames), 0.0f);
    const uint64_t begin = uint64_t{s.sample.loop_start} << 32;
    const uint64_t end = uint64_t{s.sample.loop_start + s.sample.loop_length} << 32;
    bool forward = true;
    for (int32_t k = 0; k < frames; ++k) {
        const uint32_t i = static_cast<uint32_t>(p >> 32);
        const float w = static_cast<float>(static_cast<uint32_t>(p) >> 1) * 0x1p-31f;
        const float v = s.frames[i] + w * (static_cast<float>(s.frames[i + 1]) - s.frames[i]);
        out[2 * k] += v * gain;
        out[2 * k + 1] += v * gain;
        p = (p & ~uint64_t{1}) + (forward ? step : 0 - step);
        if (forward && p >= end) {
            if (s.sample.loop_kind == LOOP_FORWARD) {
                p -= end - begin;
            } else {
                p = 2 * end - p - 1;
                forward = false;
            }
        } else if (!forward && p <= begin) {
            p = 2 * begin - p - 1;
            forward = true;
        }
    }
    return out;
}

// A ramp's gains are summed frame by frame while its frames are mixed in batches; the result
// must still be the per-frame model's, bit for bit, through a loop turn and into the flat part.
TEST_F(MixerTest, RampMatchesThePerFrameModel)
{
    TestSample s(sawtooth(3000), LOOP_FORWARD, 700, 1900);
    const uint64_t first = 1800 * ONE + 12345;  // crosses the loop end inside the ramp
    const uint64_t step = 0x1'3A5C'9E07ull;
    Voice& v = start(&s.sample, first, step, 40);
    v.gain_left = 255;
    v.gain_right = 3;
    const std::vector<float> out = mix(300);
    const std::vector<float> values = reference(s, first, step, 300, 1.0f);
    constexpr float SCALE = 0.003921568859f;
    float left = 40 * SCALE;
    float right = 40 * SCALE;
    const float step_left = (255 - 40) * SCALE * (1.0f / 128.0f);
    const float step_right = (3 - 40) * SCALE * (1.0f / 128.0f);
    for (int32_t k = 0; k < 300; ++k) {
        const bool ramping = k < 128;
        ASSERT_EQ(out[2 * k], values[2 * k] * (ramping ? left : 255 * SCALE)) << k;
        ASSERT_EQ(out[2 * k + 1], values[2 * k] * (ramping ? right : 3 * SCALE)) << k;
        left += step_left;
        right += step_right;
    }
}

struct ResampleCase {
    const char* name;
    uint8_t kind;
    uint64_t step;
    int32_t call;  // frames per mix_voices call
};

class MixerResampleTest : public MixerTest, public ::testing::WithParamInterface<ResampleCase> {};

TEST_P(MixerResampleTest, MatchesThePerFrameModel)
{
    const ResampleCase c = GetParam();
    TestSample s(sawtooth(3000), c.kind, 700, 1900);
    const uint64_t first = 17 * ONE + 12345;
    start(&s.sample, first, c.step, 200);
    const int32_t total = 20000;
    std::vector<float> out(2 * total, 0.0f);
    for (int32_t done = 0; done < total; done += c.call) {
        mix_voices(out.data() + 2 * done, active_voices(), std::min(c.call, total - done));
    }
    const std::vector<float> expected = reference(s, first, c.step, total, 200 * 0.003921568859f);
    for (int32_t k = 0; k < 2 * total; ++k) ASSERT_EQ(out[k], expected[k]) << "float " << k;
}

INSTANTIATE_TEST_SUITE_P(
    Loops, MixerResampleTest,
    ::testing::Values(ResampleCase{"ForwardOddStep", LOOP_FORWARD, 0x1'3A5C'9E07ull, 20000},
                      ResampleCase{"ForwardOddStepSmallCalls", LOOP_FORWARD, 0x1'3A5C'9E07ull, 7},
                      ResampleCase{"ForwardSlow", LOOP_FORWARD, 0x0'2000'0000ull, 884},
                      ResampleCase{"ForwardFast", LOOP_FORWARD, 0x7'1234'5678ull, 333},
                      ResampleCase{"PingPongOddStep", LOOP_PINGPONG, 0x1'3A5C'9E07ull, 20000},
                      ResampleCase{"PingPongSmallCalls", LOOP_PINGPONG, 0x0'C000'0001ull, 5},
                      ResampleCase{"PingPongFast", LOOP_PINGPONG, 0x9'8765'4321ull, 884}),
    [](const ::testing::TestParamInfo<ResampleCase>& param_info) { return param_info.param.name; });

TEST_F(MixerTest, RampReachesItsTargetOverRFramesAcrossCalls)
{
    TestSample s(std::vector<int16_t>(1000, 1000), LOOP_FORWARD, 0, 1000);
    Voice& v = start(&s.sample, 0, ONE, 0);
    v.gain_left = 255;
    const std::vector<float> first = mix(50);
    EXPECT_EQ(first[0], 0.0f);  // the first frame at the old gain
    EXPECT_NEAR(first[2], 1000.0f / 128, 0.01f);
    EXPECT_NEAR(first[98], 49 * 1000.0f / 128, 0.05f);
    EXPECT_EQ(v.current_left, 100);
    EXPECT_EQ(v.ramp_frames, 78);
    EXPECT_EQ(v.current_right, 0);
    const std::vector<float> second = mix(100);
    EXPECT_EQ(v.current_left, 255);
    EXPECT_EQ(v.ramp_frames, 0);
    EXPECT_NEAR(second[0], 1000.0f * 100 / 255, 0.05f);  // resumes from the rounded gain
    for (int k = 78; k < 100; ++k) EXPECT_FLOAT_EQ(second[2 * k], 1000.0f * 255 * 0.003921568859f);
    for (int k = 0; k < 100; ++k) EXPECT_EQ(second[2 * k + 1], 0.0f);
}

TEST_F(MixerTest, ChangeDuringARampStartsAFreshRampFromTheCurrentGain)
{
    TestSample s(std::vector<int16_t>(1000, 1000), LOOP_FORWARD, 0, 1000);
    Voice& v = start(&s.sample, 0, ONE, 0);
    v.gain_left = 255;
    mix(64);
    const uint8_t reached = v.current_left;
    v.gain_left = 0;
    mix(1);
    EXPECT_EQ(v.ramp_frames, 127);
    EXPECT_EQ(v.ramp_target_left, 0);
    EXPECT_FLOAT_EQ(v.ramp_step_left,
                    -static_cast<float>(reached) * 0.003921568859f * (1.0f / 128));
}

struct SplitCase {
    uint8_t from, to;
    int32_t call;
};

class MixerSplitRampTest : public MixerTest, public ::testing::WithParamInterface<SplitCase> {};

// Restarting each call from the rounded gain with the old step drifts by up to half a step per
// call; at the extremes that would wrap a byte to the opposite end (full-gain bursts).
TEST_P(MixerSplitRampTest, SplitRampStaysBetweenStartAndTarget)
{
    const SplitCase c = GetParam();
    TestSample s(std::vector<int16_t>(1000, 1000), LOOP_FORWARD, 0, 1000);
    Voice& v = start(&s.sample, 0, ONE, c.from);
    v.gain_left = v.gain_right = c.to;
    const uint8_t low = std::min(c.from, c.to);
    const uint8_t high = std::max(c.from, c.to);
    for (int n = 0; n < 300 && (n == 0 || v.ramp_frames != 0); ++n) {
        mix(c.call);
        ASSERT_GE(v.current_left, low);
        ASSERT_LE(v.current_left, high);
        ASSERT_EQ(v.current_right, v.current_left);
    }
    EXPECT_EQ(v.ramp_frames, 0);
    EXPECT_EQ(v.current_left, c.to);
}

INSTANTIATE_TEST_SUITE_P(Splits, MixerSplitRampTest,
                         ::testing::Values(SplitCase{0, 255, 1}, SplitCase{255, 0, 1},
                                           SplitCase{0, 255, 3}, SplitCase{255, 0, 3},
                                           SplitCase{0, 255, 2}, SplitCase{255, 0, 5}));

TEST_F(MixerTest, OddStepsAndEmptySamplesDoNotFault)
{
    TestSample s(sawtooth(16), LOOP_PINGPONG, 3, 2);
    // Step 0: no boundary is ever reached, the voice holds its frame.
    Voice& v = start(&s.sample, 4 * ONE, 0);
    std::vector<float> out = mix(100);
    EXPECT_EQ(position(v), 4 * ONE);
    EXPECT_FLOAT_EQ(out[198], s.frames[4]);
    // A step far longer than the loop, and one beyond 256 frames, stay inside the loop (a turn
    // exactly on the loop start may leave the position a hair below it).
    for (uint64_t step : {ONE * 7 + 5, ONE * 300 + 1, uint64_t{3}}) {
        start(&s.sample, 3 * ONE, step);
        for (int k = 0; k < 20; ++k) {
            mix(13);
            ASSERT_GE(position(v), 3 * ONE - 1);
            ASSERT_LT(v.position, 5u);
        }
    }
    // The largest step wraps the 64-bit position: a 2^-32 frame backward per frame, and the
    // cleared lowest bit one more from the second frame on.
    start(&s.sample, 3 * ONE, ~uint64_t{0});
    mix(100);
    EXPECT_EQ(position(v), 3 * ONE - 199);
    TestSample forward(sawtooth(16), LOOP_FORWARD, 0, 1);
    start(&forward.sample, 0, ONE * 255 + 3);
    mix(100);
    EXPECT_EQ(v.position, 0u);
    // empty_sample stops at once without reading data, whatever the step: with step 0 it once
    // was mixed from its null data (the crash-*.xm regression modules). A voice held at the
    // end of a non-looping sample stops the same way.
    TestSample plain(sawtooth(16), LOOP_NONE, 0, 0);
    for (uint64_t step : {ONE, uint64_t{0}}) {
        start(&empty_sample, 0, step);
        out = mix(10);
        EXPECT_EQ(v.sample, nullptr);
        for (float f : out) EXPECT_EQ(f, 0.0f);
        start(&plain.sample, 0, step).position = 16;
        mix(10);
        EXPECT_EQ(v.sample, nullptr);
    }
}

TEST_F(MixerTest, SilentVoicesStillAdvanceAndVoicesAddUp)
{
    TestSample s(sawtooth(100), LOOP_FORWARD, 0, 100);
    Voice& a = start(&s.sample, 0, ONE, 0);
    Voice& b = voice(5);
    b.gain_left = b.gain_right = b.current_left = b.current_right = 255;
    b.step = 1;
    voice_play(5, &s.sample);
    const std::vector<float> out = mix(150);
    EXPECT_EQ(a.position, 50u);
    EXPECT_FLOAT_EQ(out[2 * 120], s.frames[20] * (255 * 0.003921568859f));
}

// How each mix style turns volume (127 full) and panning into gain bytes. FT2's: 255 is its
// loudest, sqrt panning, so centre is 255 * 0.7071 = 180.3 and hard right leaks 255 / 16 = 15.9
// to the left; a Cxx louder than full volume saturates there.
TEST_F(MixerTest, MixStylesTurnVolumeAndPanningIntoGains)
{
    struct Case {
        MixStyle style;
        int32_t volume, panning;
        uint8_t left, right;
    };
    const Case cases[] = {
        {MixStyle::SHOW, 127, 128, 63, 63}, {MixStyle::SHOW, 127, 0, 127, 0},
        {MixStyle::SHOW, 255, 255, 0, 255}, {MixStyle::FT2, 127, 128, 180, 180},
        {MixStyle::FT2, 127, 0, 255, 0},    {MixStyle::FT2, 127, 255, 16, 255},
        {MixStyle::FT2, 64, 128, 91, 91},   {MixStyle::FT2, 255, 0, 255, 0},
        {MixStyle::FT2, 0, 64, 0, 0},       {MixStyle::FT2, 127, 64, 221, 128},
    };
    for (const Case& c : cases) {
        Voice& v = voice(3);
        v.volume = c.volume;
        v.panning = c.panning;
        voice_set_mix_style(3, c.style);
        EXPECT_EQ(v.gain_left, c.left) << c.volume << " " << c.panning;
        EXPECT_EQ(v.gain_right, c.right) << c.volume << " " << c.panning;
    }
}

// 5 ms, whatever the rate.
TEST(MixerQuickRampTest, LastsFiveMilliseconds)
{
    const std::pair<int32_t, int32_t> cases[] = {{44100, 220}, {48000, 240}, {8000, 40}, {150, 1}};
    for (const auto& [rate, frames] : cases) {
        ASSERT_TRUE(voice_pool_create(rate));
        EXPECT_EQ(quick_ramp_length(), frames) << rate;
    }
    voice_pool_destroy();
}

// A note started on an FT2 voice fades in from silence over the quick ramp while the old one
// fades out beside it; a SHOW voice plays the new note at once at the gains it had. Both
// samples are constant so every frame can be worked by hand: old 1000, new 2000, gain 255 of
// FT2 is 0.3125, so 312.5 fading out and 625 fading in over 220 frames.
TEST_F(MixerTest, Ft2NoteStartFadesTheOldNoteOutAndTheNewOneIn)
{
    TestSample old_note(std::vector<int16_t>(64, 1000), LOOP_FORWARD, 0, 64);
    TestSample new_note(std::vector<int16_t>(64, 2000), LOOP_FORWARD, 0, 64);
    for (MixStyle style : {MixStyle::FT2, MixStyle::SHOW}) {
        voice().mix_style = MixStyle::SHOW;  // settled gains, no fade from the last pass
        Voice& v = start(&old_note.sample, 0, ONE);
        v.mix_style = style;
        mix(10);
        voice_play(0, &new_note.sample);
        const std::vector<float> out = mix(400);
        const float full = style == MixStyle::FT2 ? 625.0f : 2000.0f * 255 * 0.003921568859f;
        for (int k : {0, 1, 110, 219, 220, 399}) {
            const float t = std::min(k, 220) / 220.0f;
            const float expected = style == MixStyle::FT2 ? 312.5f * (1 - t) + 625.0f * t : full;
            EXPECT_NEAR(out[2 * k], expected, 0.05f) << k;
            EXPECT_NEAR(out[2 * k + 1], expected, 0.05f) << k;
        }
        EXPECT_EQ(v.current_left, 255);
    }
}

// The fade-out belongs to its voice: stopping the voice silences both, and a second note
// within the ramp replaces the fade-out with the note then playing.
TEST_F(MixerTest, Ft2FadeOutStopsWithItsVoice)
{
    TestSample old_note(std::vector<int16_t>(64, 1000), LOOP_FORWARD, 0, 64);
    TestSample new_note(std::vector<int16_t>(64, 2000), LOOP_FORWARD, 0, 64);
    Voice& v = start(&old_note.sample, 0, ONE);
    v.mix_style = MixStyle::FT2;
    voice_play(0, &new_note.sample);
    EXPECT_TRUE(voice_stop(0));
    for (float f : mix(50)) EXPECT_EQ(f, 0.0f);

    v.mix_style = MixStyle::SHOW;
    start(&old_note.sample, 0, ONE);
    v.mix_style = MixStyle::FT2;
    voice_play(0, &new_note.sample);
    mix(55);  // a quarter of the way: the new note at gain 64
    voice_play(0, &old_note.sample);
    const std::vector<float> out = mix(300);
    // Frame 0: the fade-out now holds the 2000 note at gain 64 (the first fade-out is gone);
    // the new 1000 note starts from 0.
    EXPECT_NEAR(out[0], 2000 * 64 * (0.3125f / 255), 0.05f);
    EXPECT_NEAR(out[2 * 250], 312.5f, 0.05f);
}

// An FT2 voice in a short loop plays from the loop's unrolled copy: the same frames as from
// the sample itself (to a 2^-31 of the interpolation weight), at the same positions and
// directions, across ramps and through many calls.
TEST_F(MixerTest, Ft2UnrolledLoopPlaysLikeTheSample)
{
    for (const uint8_t kind : {LOOP_FORWARD, LOOP_PINGPONG})
        for (const uint64_t step : {ONE / 3 + 5, ONE + ONE / 7, 5 * ONE + 12345, 40 * ONE + 1}) {
            // A step past a ping-pong loop's length the sample itself can only clamp.
            if (kind == LOOP_PINGPONG && step > 7 * ONE) continue;
            SCOPED_TRACE(testing::Message() << int{kind} << " " << step);
            TestSample unrolled(sawtooth(40), kind, 19, 7);
            TestSample plain(sawtooth(40), kind, 19, 7);
            sample_unroll_loop(&unrolled.sample);
            ASSERT_NE(unrolled.sample.unrolled, nullptr);
            EXPECT_EQ(unrolled.sample.unrolled_length % (kind == LOOP_FORWARD ? 7 : 14), 0u);
            EXPECT_GE(unrolled.sample.unrolled_length, UNROLLED_FRAMES);
            std::vector<float> outs[2];
            std::vector<uint64_t> places[2];
            for (int pass = 0; pass < 2; ++pass) {
                Voice& v =
                    start(pass == 0 ? &unrolled.sample : &plain.sample, 3 * ONE + 99, step, 0);
                v.mix_style = MixStyle::FT2;
                v.gain_left = 255;
                v.gain_right = 40;
                for (int call = 0; call < 30; ++call) {
                    if (call == 10) v.gain_right = 200;  // a ramp across loop ends
                    const std::vector<float> out = mix(97);
                    outs[pass].insert(outs[pass].end(), out.begin(), out.end());
                    places[pass].push_back(position(v) >> 20 |
                                           uint64_t{v.direction == DIRECTION_BACKWARD} << 63);
                }
            }
            ASSERT_EQ(outs[0].size(), outs[1].size());
            for (size_t k = 0; k < outs[0].size(); ++k)
                ASSERT_NEAR(outs[0][k], outs[1][k], 0.05f) << k;
            for (size_t k = 0; k < places[0].size(); ++k) {
                // Equal to 2^-12 frame: the way back is mirrored about the loop end itself.
                ASSERT_NEAR(static_cast<double>(places[0][k] & ~(uint64_t{1} << 63)),
                            static_cast<double>(places[1][k] & ~(uint64_t{1} << 63)), 1.0)
                    << k;
                ASSERT_EQ(places[0][k] >> 63, places[1][k] >> 63) << k;
            }
            delete[] unrolled.sample.unrolled;
        }
}

// Only cycles shorter than UNROLLED_FRAMES are copied; a ping-pong loop of 2^31 + 4 frames
// once doubled to a cycle of 8 and was copied from far outside its data.
TEST(MixerUnrollTest, CopiesOnlyShortLoopCycles)
{
    struct Case {
        uint8_t kind;
        uint32_t loop_length;
        bool copied;
    };
    const Case cases[] = {{LOOP_FORWARD, 4095, true},
                          {LOOP_FORWARD, 4096, false},
                          {LOOP_PINGPONG, 2047, true},
                          {LOOP_PINGPONG, 2048, false},
                          {LOOP_PINGPONG, 0x80000004u, false},
                          {LOOP_NONE, 16, false},
                          {LOOP_FORWARD, 0, false}};
    std::vector<int16_t> data(4096 + 8, 1);
    for (const Case& c : cases) {
        Sample sample{};
        sample.data = data.data();
        sample.length = 4096;
        sample.loop_kind = c.kind;
        sample.loop_length = c.loop_length;
        sample_unroll_loop(&sample);
        EXPECT_EQ(sample.unrolled != nullptr, c.copied) << int{c.kind} << " " << c.loop_length;
        delete[] sample.unrolled;
    }
}

TEST(MixerPcmTest, RoundsTiesToEvenAndClamps)
{
    const float in[] = {40000.0f, -40000.0f, 2.5f,      3.5f,     -2.5f,
                        0.5f,     1.49f,     -32768.4f, 32766.6f, NAN};
    int16_t out[10];
    std::memset(out, 0x55, sizeof out);
    player::mix_to_pcm16(out, in, 5);
    const int16_t expected[] = {32767, -32768, 2, 4, -2, 0, 1, -32768, 32767, 0};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(out[k], expected[k]) << k;
    player::mix_to_pcm16(out, in, 0);
    player::mix_to_pcm16(nullptr, in, 5);
}

// The conversion runs several samples at a time with a scalar tail; every awkward value must come
// out the same wherever in a chunk it falls.
TEST(MixerPcmTest, SameResultAtEveryPositionInAChunk)
{
    struct Case {
        float in;
        int16_t out;
    };
    const Case cases[] = {{INFINITY, 32767}, {-INFINITY, -32768}, {NAN, 0},
                          {32767.5f, 32767}, {-32768.5f, -32768}, {1e10f, 32767},
                          {-1e10f, -32768},  {1.5f, 2},           {-0.5f, 0},
                          {-1.5f, -2},       {0.49f, 0},          {-7.51f, -8}};
    for (const Case& c : cases) {
        for (int at = 0; at < 22; ++at) {
            float in[22] = {};
            in[at] = c.in;
            int16_t out[22];
            player::mix_to_pcm16(out, in, 11);
            for (int k = 0; k < 22; ++k)
                ASSERT_EQ(out[k], k == at ? c.out : 0) << c.in << " at " << at;
        }
    }
}

}  // namespace
