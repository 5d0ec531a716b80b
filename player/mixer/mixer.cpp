// mixer.cpp -- voice pool and the linear-interpolating mixer
//
// Positions and steps are unsigned 32.32 fixed point. Each voice is mixed in segments that end
// at the loop boundary, where a ramp ends, or where the call ends; the per-frame loops know
// nothing of loops or ramps.

#include "player/mixer/mixer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "player/list.h"

namespace player {

namespace {

constexpr float GAIN_SCALE = 0.003921568859f;  // 1/255 as the mixer's float
// FT2 voices: gain byte 255 is FT2's loudest, 0.3125 of the sample (amplification 10 of 32).
constexpr float FT2_GAIN_SCALE = 0.3125f / 255.0f;
constexpr float FT2_GAIN_BYTES = 816.0f;         // 1 / FT2_GAIN_SCALE, exact
constexpr float INTERPOLATION_SCALE = 0x1p-31f;  // weight of the fraction's top 31 bits
constexpr uint64_t NO_BOUNDARY = UINT64_MAX;
constexpr uint64_t FAR_DISTANCE = uint64_t{1} << 56;

struct MixerState {
    Voice* pool = nullptr;  // VOICE_COUNT voices, then as many fade-outs
    int32_t rate = 44100;
    int32_t ramp = 128;
    float inverse_ramp = 1.0f / 128.0f;
    int32_t quick_ramp = 220;
    float inverse_quick_ramp = 1.0f / 220.0f;
    // An FT2 voice that starts a note hands the old one to its fade-out: a copy ramping to
    // silence for quick_ramp frames beside it.
    int32_t fade_frames[VOICE_COUNT] = {};  // frames each fade-out still plays; 0: idle
    int32_t fades = 0;                      // fade-outs playing
    int32_t voices_used = 0;  // voices from this one on have never played since the pool was made
};

MixerState state;

// The active-voice list's head: empty (self-linked) until a pool exists.
Voice* list_head()
{
    static Voice head{};
    if (head.next == nullptr) list_init(&head);
    return &head;
}

// Frames until a position `distance` away is reached, from the step in 8.24 form. Steps of
// 256 frames and more do not fit 8.24, and steps below 2^-24 frame vanish in it; both are
// counted exactly instead. A voice already at the boundary has arrived whatever its step, so
// a stopped voice (step 0) at the end of a non-looping sample, or on the empty sample, stops
// there without reading a frame; away from it, a step of 0 never arrives.
uint64_t frames_to_boundary(uint64_t distance, uint64_t step)
{
    if (distance == 0) return 0;
    if (distance >= FAR_DISTANCE) return NO_BOUNDARY;
    const uint64_t step_8_24 = step >> 8;
    if (step >= (uint64_t{256} << 32) || step_8_24 == 0) {
        if (step == 0) return NO_BOUNDARY;
        return distance / step + (distance % step != 0 ? 1 : 0);
    }
    const uint64_t scaled = distance >> 8;
    return scaled / step_8_24 + (scaled % step_8_24 != 0 ? 1 : 0);
}

// The most frames that can be rendered from `position` before a frame would read outside the
// sample: forward the integer position may reach the loop end (the patched frame after it
// and the spare frames keep i + 1 readable), backward it may not go below 0. The boundary
// count above can overshoot by a step through its 8.24 rounding, and each step drops the
// fraction's lowest bit, so this counts the positions the render loop will really visit.
uint64_t safe_frames(int64_t position, uint64_t step, bool forward, int64_t loop_end)
{
    const uint64_t p = static_cast<uint64_t>(position);
    const uint64_t odd = step & 1;
    if (forward) {
        // After the first frame: (p & ~1) + j * (step & ~1) + odd.
        const uint64_t limit = static_cast<uint64_t>(loop_end + 1) << 32;
        const uint64_t base = (p & ~uint64_t{1}) + odd;
        const uint64_t even_step = step & ~uint64_t{1};
        if (even_step == 0 || base >= limit) return even_step == 0 ? NO_BOUNDARY : 1;
        return (limit - 1 - base) / even_step + 1;
    }
    // After the first frame: (p & ~1) - j * (step + odd) + odd.
    if (step == UINT64_MAX) return 1;
    const uint64_t back_step = step + odd;
    if (back_step == 0) return NO_BOUNDARY;
    return ((p & ~uint64_t{1}) + odd) / back_step + 1;
}

// One frame: interpolate between frames i and i + 1 with the fraction's top 31 bits.
inline float interpolate(const int16_t* data, uint64_t position)
{
    const uint32_t i = static_cast<uint32_t>(position >> 32);
    const float w = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(position) >> 1)) *
                    INTERPOLATION_SCALE;
    const float a = data[i];
    const float b = data[i + 1];
    return a + w * (b - a);
}

// The advance clears the fraction's lowest bit before adding the step (or its two's
// complement when playing backward). Frame k of a run therefore sits at
//     (p & ~1) + k * (delta & ~1) + (delta & 1)   for k >= 1,
// and as the interpolation never looks at the lowest bit, the frames are rendered at the
// even progression (p & ~1) + k * (delta & ~1): the same frames, with no dependency on the
// previous frame beyond one addition.
struct Run {
    uint64_t first;      // p & ~1
    uint64_t even_step;  // delta & ~1
};

Run make_run(uint64_t position, uint64_t delta)
{
    return Run{position & ~uint64_t{1}, delta & ~uint64_t{1}};
}

uint64_t run_end(uint64_t position, uint64_t delta, int32_t frames)
{
    if (frames <= 0) return position;
    const Run run = make_run(position, delta);
    return run.first + static_cast<uint64_t>(frames) * run.even_step + (delta & 1);
}

// A kernel adds `frames` interpolated frames times their gains to `out`. Flat kernels read one
// gain pair for every frame; ramped ones a gain pair per frame from the two arrays.
using Kernel = void (*)(float* out, const int16_t* data, Run run, int32_t frames,
                        const float* gain_left, const float* gain_right);

template <bool RAMPED>
void render_plain(float* out, const int16_t* data, Run run, int32_t frames, const float* gain_left,
                  const float* gain_right)
{
    uint64_t position = run.first;
    for (int32_t k = 0; k < frames; ++k) {
        const float v = interpolate(data, position);
        out[0] += v * gain_left[RAMPED ? k : 0];
        out[1] += v * gain_right[RAMPED ? k : 0];
        out += 2;
        position += run.even_step;
    }
}

#if defined(__x86_64__)
// Eight frames per pass: the positions' fractions as two vectors of four 64-bit values, frames
// i and i + 1 fetched together as one 32-bit word by plain loads (they beat the gather
// instruction on the machines we measured). The float operations are those of the plain loop,
// in the same order and without fused multiply-adds, so the results are identical
// (MixerResampleTest compares them bit for bit).
template <bool RAMPED>
__attribute__((target("avx2"))) void render_avx2(float* out, const int16_t* data, Run run,
                                                 int32_t frames, const float* gain_left,
                                                 const float* gain_right)
{
    int32_t k = 0;
    if (frames >= 8) {
        const uint64_t e = run.even_step;
        uint64_t position = run.first;
        __m256i low = _mm256_setr_epi64x(
            static_cast<long long>(position), static_cast<long long>(position + e),
            static_cast<long long>(position + 2 * e), static_cast<long long>(position + 3 * e));
        __m256i high = _mm256_add_epi64(low, _mm256_set1_epi64x(static_cast<long long>(4 * e)));
        const __m256i step8 = _mm256_set1_epi64x(static_cast<long long>(8 * e));
        const __m256 scale = _mm256_set1_ps(INTERPOLATION_SCALE);
        __m256 gl = _mm256_set1_ps(gain_left[0]);
        __m256 gr = _mm256_set1_ps(gain_right[0]);
        for (; k + 8 <= frames; k += 8) {
            // The fractions of frames 0..7 (the shuffle leaves them as 0 1 4 5 2 3 6 7).
            const __m256i fraction = _mm256_permute4x64_epi64(
                _mm256_castps_si256(_mm256_shuffle_ps(
                    _mm256_castsi256_ps(low), _mm256_castsi256_ps(high), _MM_SHUFFLE(2, 0, 2, 0))),
                _MM_SHUFFLE(3, 1, 2, 0));
            const __m256 w =
                _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fraction, 1)), scale);
            int32_t word[8];
            for (int j = 0; j < 8; ++j) {
                const auto i =
                    static_cast<uint32_t>((position + static_cast<uint64_t>(j) * e) >> 32);
                std::memcpy(&word[j], data + i, 4);
            }
            const __m256i pair = _mm256_setr_epi32(word[0], word[1], word[2], word[3], word[4],
                                                   word[5], word[6], word[7]);
            const __m256 a = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16));
            const __m256 b = _mm256_cvtepi32_ps(_mm256_srai_epi32(pair, 16));
            const __m256 v = _mm256_add_ps(a, _mm256_mul_ps(w, _mm256_sub_ps(b, a)));
            if constexpr (RAMPED) {
                gl = _mm256_loadu_ps(gain_left + k);
                gr = _mm256_loadu_ps(gain_right + k);
            }
            const __m256 l = _mm256_mul_ps(v, gl);
            const __m256 r = _mm256_mul_ps(v, gr);
            const __m256 lr_low = _mm256_unpacklo_ps(l, r);   // l0 r0 l1 r1 | l4 r4 l5 r5
            const __m256 lr_high = _mm256_unpackhi_ps(l, r);  // l2 r2 l3 r3 | l6 r6 l7 r7
            _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out),
                                                _mm256_permute2f128_ps(lr_low, lr_high, 0x20)));
            _mm256_storeu_ps(out + 8, _mm256_add_ps(_mm256_loadu_ps(out + 8),
                                                    _mm256_permute2f128_ps(lr_low, lr_high, 0x31)));
            out += 16;
            position += 8 * e;
            low = _mm256_add_epi64(low, step8);
            high = _mm256_add_epi64(high, step8);
        }
    }
    const int32_t gains_at = RAMPED ? k : 0;
    render_plain<RAMPED>(out, data,
                         Run{run.first + static_cast<uint64_t>(k) * run.even_step, run.even_step},
                         frames - k, gain_left + gains_at, gain_right + gains_at);
}
#endif

template <bool RAMPED>
Kernel pick_kernel()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return render_avx2<RAMPED>;
#endif
    return render_plain<RAMPED>;
}

const Kernel flat_kernel = pick_kernel<false>();
const Kernel ramped_kernel = pick_kernel<true>();

// Returns the position after `frames` frames.
uint64_t render_flat(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                     int32_t frames, float gain_left, float gain_right)
{
    flat_kernel(out, data, make_run(position, delta), frames, &gain_left, &gain_right);
    return run_end(position, delta, frames);
}

// The gain used for a frame is the one before its increment. The gains are summed one after
// the other, as a float ramp must be to come out the same, and the frames then mixed with them
// in a batch.
uint64_t render_ramp(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                     int32_t frames, float* gain_left, float* gain_right, float step_left,
                     float step_right)
{
    constexpr int32_t BATCH = 256;
    alignas(32) float lefts[BATCH];
    alignas(32) float rights[BATCH];
    Run run = make_run(position, delta);
    float cl = *gain_left;
    float cr = *gain_right;
    for (int32_t done = 0; done < frames;) {
        const int32_t count = std::min(BATCH, frames - done);
        for (int32_t k = 0; k < count; ++k) {
            lefts[k] = cl;
            rights[k] = cr;
            cl += step_left;
            cr += step_right;
        }
        ramped_kernel(out, data, run, count, lefts, rights);
        out += 2 * count;
        run.first += static_cast<uint64_t>(count) * run.even_step;
        done += count;
    }
    *gain_left = cl;
    *gain_right = cr;
    return run_end(position, delta, frames);
}

// The same for FT2 voices, whose ramps need not come out as the show's do: gain k is worked
// out from the start on its own, so the gains of a batch fill as vectors, and a ramp carries
// no rounding from frame to frame.
uint64_t render_ramp_direct(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                            int32_t frames, float* gain_left, float* gain_right, float step_left,
                            float step_right)
{
    constexpr int32_t BATCH = 256;
    alignas(32) float lefts[BATCH];
    alignas(32) float rights[BATCH];
    Run run = make_run(position, delta);
    const float start_left = *gain_left;
    const float start_right = *gain_right;
    for (int32_t done = 0; done < frames;) {
        const int32_t count = std::min(BATCH, frames - done);
        for (int32_t k = 0; k < count; ++k) {
            const auto at = static_cast<float>(done + k);
            lefts[k] = start_left + at * step_left;
            rights[k] = start_right + at * step_right;
        }
        ramped_kernel(out, data, run, count, lefts, rights);
        out += 2 * count;
        run.first += static_cast<uint64_t>(count) * run.even_step;
        done += count;
    }
    *gain_left = start_left + static_cast<float>(frames) * step_left;
    *gain_right = start_right + static_cast<float>(frames) * step_right;
    return run_end(position, delta, frames);
}

// Rounds a ramped gain back to a byte. A ramp split over several calls restarts each call
// from the rounded gain with the old per-frame step, so it can overshoot its target by one:
// clamped, it never wraps to the opposite end (MixerTest.SplitRampStaysBetweenStartAndTarget).
uint8_t gain_to_byte(float gain, float bytes_per_unit)
{
    const float rounded = std::nearbyint(gain * bytes_per_unit);
    return static_cast<uint8_t>(std::clamp(rounded, 0.0f, 255.0f));
}

void store_position(Voice* voice, int64_t position)
{
    voice->position = static_cast<uint32_t>(static_cast<uint64_t>(position) >> 32);
    voice->position_frac = static_cast<uint32_t>(position);
}

void stop_voice(Voice* voice)
{
    voice->sample = nullptr;
    voice->position = 0;
    voice->position_frac = 0;
}

// Turns a ping-pong voice at the end it reached. A step longer than the loop can carry the
// position out of the loop even after the second reflection; such positions are pulled back
// to the nearer end so the next segment starts inside the sample.
int64_t reflect(Voice* voice, int64_t position, int64_t loop_start, int64_t loop_end)
{
    const int64_t start = loop_start << 32;
    const int64_t end = loop_end << 32;
    // 2 * edge - position - 1, in wrapping arithmetic.
    const auto mirror = [](int64_t edge, int64_t at) {
        return static_cast<int64_t>(2 * static_cast<uint64_t>(edge) - static_cast<uint64_t>(at) -
                                    1);
    };
    if (voice->direction != DIRECTION_BACKWARD) {
        position = mirror(end, position);
        voice->direction = DIRECTION_BACKWARD;
        if ((position >> 32) < loop_start) {
            position = mirror(start, position);
            voice->direction = DIRECTION_FORWARD;
        }
    } else {
        position = mirror(start, position);
        voice->direction = DIRECTION_FORWARD;
        if ((position >> 32) >= loop_end) {
            position = mirror(end, position);
            voice->direction = DIRECTION_BACKWARD;
        }
    }
    // Turning exactly on the loop start lands one 2^-32 below it; that is only a problem when
    // the loop starts at frame 0.
    if (position < std::max<int64_t>(0, start - 1)) {
        position = start;
        voice->direction = DIRECTION_FORWARD;
    } else if (position >= end) {
        position = end - 1;
        voice->direction = DIRECTION_BACKWARD;
    }
    return position;
}

// Where an FT2 voice inside a short loop plays from: the unrolled copy, whose frame 0 is the
// loop start, always forward (a ping-pong loop's copy holds it there and back, so position q
// of a cycle of 2L frames past L stands for 2L - q on the way back). Positions move by whole
// loops between the two, which changes no frame the voice renders, so the mixer may enter and
// leave the copy at any segment.
struct LoopView {
    const int16_t* data;
    int64_t loop_start, loop_end;
    uint8_t loop_kind;
    bool unrolled;
};

LoopView loop_view(const Voice* voice, const Sample* sample, int64_t* position)
{
    const int64_t loop_start = sample->loop_start;
    if (voice->mix_style != MixStyle::FT2 || sample->unrolled == nullptr ||
        (*position >> 32) < loop_start) {
        return {sample->data, loop_start, loop_start + sample->loop_length, sample->loop_kind,
                false};
    }
    *position -= loop_start << 32;
    if ((sample->loop_kind & LOOP_PINGPONG) != 0 && voice->direction == DIRECTION_BACKWARD) {
        *position = (int64_t{2} * sample->loop_length << 32) - *position;
    }
    return {sample->unrolled, 0, sample->unrolled_length, LOOP_FORWARD, true};
}

// Back from the unrolled copy to a position (and direction) in the sample's own loop.
int64_t sample_position(Voice* voice, const Sample* sample, const LoopView& view, int64_t position)
{
    if (!view.unrolled) return position;
    const int64_t loop = int64_t{sample->loop_length} << 32;
    const int64_t start = int64_t{sample->loop_start} << 32;
    if ((sample->loop_kind & LOOP_PINGPONG) == 0) return start + position % loop;
    const int64_t cycle = position % (2 * loop);
    if (cycle < loop) {
        voice->direction = DIRECTION_FORWARD;
        return start + cycle;
    }
    voice->direction = DIRECTION_BACKWARD;
    return start + 2 * loop - cycle;
}

void mix_voice(Voice* voice, float* out, int32_t frames)
{
    const bool ft2 = voice->mix_style == MixStyle::FT2;
    const float gain_scale = ft2 ? FT2_GAIN_SCALE : GAIN_SCALE;
    const float gain_bytes = ft2 ? FT2_GAIN_BYTES : 255.0f;
    const int32_t ramp_length = ft2 ? state.quick_ramp : state.ramp;
    const float inverse_ramp = ft2 ? state.inverse_quick_ramp : state.inverse_ramp;
    int32_t left = frames;
    while (left > 0 && voice->sample != nullptr) {
        const Sample* sample = voice->sample;
        int64_t position = static_cast<int64_t>((static_cast<uint64_t>(voice->position) << 32) |
                                                voice->position_frac);
        if (position < 0) position = 0;
        const LoopView view = loop_view(voice, sample, &position);
        const int64_t loop_start = view.loop_start;
        const int64_t loop_end = view.loop_end;
        const int64_t start = loop_start << 32;
        const int64_t end = loop_end << 32;
        const uint64_t step = (static_cast<uint64_t>(voice->step) << 32) | voice->step_frac;
        const bool forward = view.unrolled || voice->direction != DIRECTION_BACKWARD;
        if (!forward && position >= end) position = end - 1;

        // Segment end: the boundary ahead, unless the call ends first.
        uint64_t distance;
        if (forward) {
            distance = position >= end ? 0 : static_cast<uint64_t>(end - position);
        } else {
            distance = position <= start ? 0 : static_cast<uint64_t>(position - start);
        }
        uint64_t to_boundary = frames_to_boundary(distance, step);
        if (distance != 0) {
            to_boundary = std::min(to_boundary, safe_frames(position, step, forward, loop_end));
            to_boundary = std::max<uint64_t>(to_boundary, 1);
        }
        int32_t count = left;
        bool at_boundary = false;
        if (to_boundary <= static_cast<uint64_t>(count)) {
            count = static_cast<int32_t>(to_boundary);
            at_boundary = true;
        }
        const int32_t count_before_ramp = count;

        // Gain ramp: a change of target gains starts a fresh ramp of R frames from the gains
        // reached so far.
        int32_t ramp_remaining = 0;
        float step_left = 0.0f;
        float step_right = 0.0f;
        bool ramp_goes_on = false;
        if (voice->ramp_frames != 0 && voice->gain_left == voice->ramp_target_left &&
            voice->gain_right == voice->ramp_target_right) {
            ramp_goes_on = true;
            ramp_remaining = voice->ramp_frames;
            step_left = voice->ramp_step_left;
            step_right = voice->ramp_step_right;
        } else {
            voice->ramp_target_left = voice->gain_left;
            voice->ramp_target_right = voice->gain_right;
            if (voice->gain_left != voice->current_left) {
                step_left = static_cast<float>(voice->gain_left - voice->current_left) *
                            gain_scale * inverse_ramp;
                ramp_remaining = ramp_length;
            }
            if (voice->gain_right != voice->current_right) {
                step_right = static_cast<float>(voice->gain_right - voice->current_right) *
                             gain_scale * inverse_ramp;
                ramp_remaining = ramp_length;
            }
            if (ramp_remaining != 0) {
                voice->ramp_step_left = step_left;
                voice->ramp_step_right = step_right;
            }
            voice->ramp_frames = 0;
        }
        if (ramp_remaining != 0) {
            voice->ramp_frames = ramp_remaining;
            count = std::min(count, ramp_remaining);
        }

        const uint64_t delta = forward ? step : 0 - step;
        uint64_t moved;
        if (ramp_remaining == 0) {
            const float gain_left = voice->gain_left * gain_scale;
            const float gain_right = voice->gain_right * gain_scale;
            moved = render_flat(out, view.data, static_cast<uint64_t>(position), delta, count,
                                gain_left, gain_right);
        } else {
            float current_left = voice->current_left * gain_scale;
            float current_right = voice->current_right * gain_scale;
            if (ft2 && ramp_goes_on) {
                // An FT2 ramp is split at every loop end, and short loops split it dozens of
                // times: it carries on from where it is, not from the rounded byte, so it
                // lands on its target (MixerTest.Ft2NoteStartFadesTheOldNoteOutAndTheNewOneIn).
                current_left = voice->ramp_target_left * gain_scale -
                               step_left * static_cast<float>(ramp_remaining);
                current_right = voice->ramp_target_right * gain_scale -
                                step_right * static_cast<float>(ramp_remaining);
            }
            moved = (ft2 ? render_ramp_direct : render_ramp)(
                out, view.data, static_cast<uint64_t>(position), delta, count, &current_left,
                &current_right, step_left, step_right);
            if (count > 0) {
                voice->current_left = gain_to_byte(current_left, gain_bytes);
                voice->current_right = gain_to_byte(current_right, gain_bytes);
            }
            voice->ramp_frames = ramp_remaining - count;
            if (ft2 && voice->ramp_frames == 0) {
                voice->current_left = voice->ramp_target_left;
                voice->current_right = voice->ramp_target_right;
            }
        }
        position = static_cast<int64_t>(moved);
        out += 2 * count;
        left -= count;

        const bool ramp_cut_short =
            ramp_remaining != 0 && voice->ramp_frames == 0 && count != count_before_ramp;
        // The 8.24 count can fall a hair short of the boundary; then the next segment finishes
        // the way there instead of turning early.
        const bool reached = forward ? position >= end : position <= start;
        if (ramp_cut_short || !at_boundary || !reached) {
            store_position(voice, sample_position(voice, sample, view, position));
            continue;
        }

        if (view.loop_kind & LOOP_FORWARD) {
            const int64_t loop_length = loop_end - loop_start;
            if (loop_length <= 0) {
                stop_voice(voice);
                return;
            }
            const int64_t whole = position >> 32;
            const int64_t wrapped = loop_start + (whole - loop_start) % loop_length;
            position = (wrapped << 32) | (position & 0xFFFFFFFF);
        } else if (view.loop_kind & LOOP_PINGPONG) {
            if (loop_end <= loop_start) {
                stop_voice(voice);
                return;
            }
            position = reflect(voice, position, loop_start, loop_end);
        } else {
            stop_voice(voice);
            return;
        }
        store_position(voice, sample_position(voice, sample, view, position));
    }
}

Voice* fade_of(int32_t voice_index)
{
    return &state.pool[VOICE_COUNT + voice_index];
}

void end_fade(int32_t voice_index)
{
    if (state.fade_frames[voice_index] == 0) return;
    state.fade_frames[voice_index] = 0;
    state.fades -= 1;
    stop_voice(fade_of(voice_index));
}

// The old note of an FT2 voice that starts a new one: what it plays now, ramping to silence.
void start_fade(Voice* voice)
{
    const int32_t index = voice->index;
    end_fade(index);
    if (voice->sample == nullptr || (voice->current_left == 0 && voice->current_right == 0)) return;
    Voice* fade = fade_of(index);
    *fade = *voice;
    fade->next = fade->prev = nullptr;
    fade->gain_left = fade->gain_right = 0;
    fade->ramp_frames = 0;
    state.fade_frames[index] = state.quick_ramp;
    state.fades += 1;
}

void mix_fades(float* destination, int32_t frames)
{
    for (int32_t i = 0; i < state.voices_used && state.fades > 0; ++i) {
        const int32_t left = state.fade_frames[i];
        if (left == 0) continue;
        Voice* fade = fade_of(i);
        const int32_t count = std::min(left, frames);
        if (fade->sample != nullptr) mix_voice(fade, destination, count);
        if (left == count || fade->sample == nullptr) {
            end_fade(i);  // silent now, or its sample ended first
        } else {
            state.fade_frames[i] = left - count;
        }
    }
}

}  // namespace

void sample_unroll_loop(Sample* sample)
{
    if (sample == nullptr || sample->data == nullptr ||
        (sample->loop_kind & (LOOP_FORWARD | LOOP_PINGPONG)) == 0) {
        return;
    }
    const bool pingpong = (sample->loop_kind & LOOP_FORWARD) == 0;
    const uint32_t loop_length = sample->loop_length;
    // Tested before doubling: a huge ping-pong loop must not wrap to a short cycle.
    if (loop_length == 0 || loop_length >= UNROLLED_FRAMES) return;
    const uint32_t cycle = pingpong ? 2 * loop_length : loop_length;  // frames before it repeats
    if (cycle >= UNROLLED_FRAMES) return;
    const uint32_t length = (UNROLLED_FRAMES + cycle - 1) / cycle * cycle;
    int16_t* copy = new (std::nothrow) int16_t[length + 8];
    if (copy == nullptr) return;
    // Frame L of the way back is the loop end's own frame, which the loader set to the last
    // one of the loop; the way back then ends on the loop start.
    const int16_t* loop = sample->data + sample->loop_start;
    for (uint32_t i = 0; i < length + 8; ++i) {
        const uint32_t at = i % cycle;
        copy[i] = at < loop_length ? loop[at] : loop[cycle - at];
    }
    delete[] sample->unrolled;
    sample->unrolled = copy;
    sample->unrolled_length = length;
}

bool voice_pool_create(int32_t rate)
{
    if (rate < 1) return false;
    voice_pool_destroy();
    Voice* pool = new (std::nothrow) Voice[2 * VOICE_COUNT]{};
    if (pool == nullptr) return false;
    list_init(list_head());
    for (int32_t i = 0; i < VOICE_COUNT; ++i) {
        pool[i].index = i;
        list_insert_before(&pool[i], list_head());
    }
    state.pool = pool;
    state.rate = rate;
    // Below 345 Hz the ramp would be 0 frames long; one frame keeps 1/R finite.
    state.ramp = static_cast<int32_t>(std::max<int64_t>(1, int64_t{rate} * 128 / 44100));
    state.inverse_ramp = 1.0f / static_cast<float>(state.ramp);
    state.quick_ramp = std::max(1, rate / 200);
    state.inverse_quick_ramp = 1.0f / static_cast<float>(state.quick_ramp);
    return true;
}

void voice_pool_destroy()
{
    list_init(list_head());
    delete[] state.pool;
    state.pool = nullptr;
    std::fill(std::begin(state.fade_frames), std::end(state.fade_frames), 0);
    state.fades = 0;
    state.voices_used = 0;
}

Voice* voice_pool()
{
    return state.pool;
}

Voice* active_voices()
{
    return list_head();
}

int32_t output_rate()
{
    return state.rate;
}

int32_t ramp_length()
{
    return state.ramp;
}

int32_t quick_ramp_length()
{
    return state.quick_ramp;
}

void voice_set_mix_style(int32_t voice_index, MixStyle style)
{
    if (state.pool == nullptr || voice_index < 0 || voice_index >= VOICE_COUNT) return;
    Voice* voice = &state.pool[voice_index];
    voice->mix_style = style;
    voice_update_gains(voice);
}

void voice_update_gains(Voice* voice)
{
    if (voice->mix_style == MixStyle::FT2) {
        // sqrt(pan / 256) and sqrt((256 - pan) / 256) at full volume, in gain bytes: hard
        // right still leaks 1/16 to the left, as FT2's table does.
        static const auto sqrt_gains = [] {
            std::array<uint8_t, 257> table{};
            for (size_t pan = 0; pan <= 256; ++pan) {
                table[pan] = static_cast<uint8_t>(
                    std::lround(255.0 * std::sqrt(static_cast<double>(pan) / 256.0)));
            }
            return table;
        }();
        // 127 is full volume; louder (Cxx past 64) saturates at the loudest gain.
        const int32_t volume = std::clamp(voice->volume, 0, 127);
        const int32_t pan = std::clamp(voice->panning, 0, 255);
        voice->gain_left =
            static_cast<uint8_t>((sqrt_gains[static_cast<size_t>(256 - pan)] * volume + 63) / 127);
        voice->gain_right =
            static_cast<uint8_t>((sqrt_gains[static_cast<size_t>(pan)] * volume + 63) / 127);
        return;
    }
    voice->gain_left = static_cast<uint8_t>((255 - voice->panning) * voice->volume / 255);
    voice->gain_right = static_cast<uint8_t>(voice->panning * voice->volume / 255);
}

void mix_voices(float* destination, Voice* head, int32_t frames)
{
    if (destination == nullptr || head == nullptr || frames <= 0) return;
    if (head == list_head() && state.pool != nullptr) {
        // The pool's own list links the voices in index order and nothing relinks it, so it
        // is walked as the array it is: no chain of dependent loads through 256 voices.
        for (Voice* voice = state.pool; voice != state.pool + state.voices_used; ++voice) {
            if (voice->sample != nullptr) mix_voice(voice, destination, frames);
        }
        if (state.fades > 0) mix_fades(destination, frames);
        return;
    }
    for (Voice* voice = head->next; voice != head; voice = voice->next) {
        if (voice->sample != nullptr) mix_voice(voice, destination, frames);
    }
}

// Round to nearest (ties to even, as the FPU's default mode does), saturate to 16 bits, and
// read a NaN as silence. Done four samples at a time with SSE2 where the machine has it: every
// x86-64 does, and the result is the same as the scalar loop's, sample for sample.
void mix_to_pcm16(int16_t* destination, const float* source, int32_t frames)
{
    if (destination == nullptr || source == nullptr || frames <= 0) return;
    const int64_t count = int64_t{2} * frames;
    int64_t k = 0;
#if defined(__SSE2__)
    const __m128 lowest = _mm_set1_ps(-32768.0f);
    const __m128 highest = _mm_set1_ps(32767.0f);
    for (; k + 8 <= count; k += 8) {
        __m128 a = _mm_loadu_ps(source + k);
        __m128 b = _mm_loadu_ps(source + k + 4);
        a = _mm_and_ps(a, _mm_cmpord_ps(a, a));  // NaN -> 0
        b = _mm_and_ps(b, _mm_cmpord_ps(b, b));
        a = _mm_min_ps(_mm_max_ps(a, lowest), highest);
        b = _mm_min_ps(_mm_max_ps(b, lowest), highest);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + k), packed);
    }
#endif
    for (; k < count; ++k) {
        const float rounded = std::nearbyint(source[k]);
        int16_t value = 0;
        if (rounded >= 32767.0f) {
            value = 32767;
        } else if (rounded <= -32768.0f) {
            value = -32768;
        } else if (rounded == rounded) {
            value = static_cast<int16_t>(rounded);
        }
        destination[k] = value;
    }
}

int32_t voice_play(int32_t voice_index, Sample* sample)
{
    if (state.pool == nullptr || sample == nullptr) return -1;
    if (voice_index < 0 || voice_index >= VOICE_COUNT) return -1;
    Voice* voice = &state.pool[voice_index];
    if (voice->mix_style == MixStyle::FT2) {
        start_fade(voice);
        voice->current_left = voice->current_right = 0;
        voice->ramp_frames = 0;
    }
    voice->sample = sample;
    state.voices_used = std::max(state.voices_used, voice_index + 1);
    const uint64_t loop_end = uint64_t{sample->loop_start} + sample->loop_length;
    if (voice->start_offset >= loop_end) voice->start_offset = 0;
    voice->position = voice->start_offset;
    voice->position_frac = 0;
    voice->start_offset = 0;
    voice->direction = DIRECTION_FORWARD;
    return voice->index;
}

bool voice_stop(int32_t voice_index)
{
    if (state.pool == nullptr) return true;
    if (voice_index < 0 || voice_index >= VOICE_COUNT) return false;
    stop_voice(&state.pool[voice_index]);
    end_fade(voice_index);
    return true;
}

}  // namespace player
