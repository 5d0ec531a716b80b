// mixer.h -- the voice pool and the software mixer: 32.32 resampling with linear
// interpolation, gain ramps and the three loop kinds, into a float stereo buffer
#pragma once
#include <cstdint>

#include "player/xm.h"

namespace player {

constexpr int32_t VOICE_COUNT = 256;

// Voice::direction
constexpr int32_t DIRECTION_FORWARD = 1;
constexpr int32_t DIRECTION_BACKWARD = 2;  // ping-pong on its way back

// How a voice turns volume and panning into gains and how it moves between them.
// SHOW: linear panning (centre 0.5 per side), a full-volume voice hard to one side at half its
// sample's level, every change ramped over ramp_length() frames from the gains reached so far.
// FT2: FastTracker 2's mixer: square-root panning (centre 0.707 per side), a full-volume voice
// hard to one side at 0.3125 of its sample's level (FT2's default amplification, the same for
// any number of channels), every change ramped over quick_ramp_length() frames (5 ms), and a
// new note fading in from silence while the note it replaces fades out beside it.
enum class MixStyle : uint8_t { SHOW, FT2 };

struct Voice {
    Voice* next;  // active-voice list
    Voice* prev;
    int32_t index;                  // 0..255
    int32_t volume;                 // last volume from the replay, 0..127 (up to 255 for loud Cxx)
    int32_t frequency;              // Hz
    int32_t panning;                // 0..255
    uint32_t start_offset;          // frame where the next voice_play starts
    Sample* sample;                 // null: silent
    uint8_t gain_left, gain_right;  // targets 0..255
    uint32_t position;              // 32.32 play position, integer part (frames)
    uint32_t position_frac;
    uint32_t step_frac;  // 32.32 advance per output frame
    uint32_t step;
    int32_t direction;  // DIRECTION_FORWARD or DIRECTION_BACKWARD
    uint8_t ramp_target_left, ramp_target_right;
    uint8_t current_left, current_right;  // gains applied at the end of the last stretch
    float ramp_step_left, ramp_step_right;
    int32_t ramp_frames;  // frames of the running ramp still to mix; 0: none
    MixStyle mix_style;   // SHOW in a fresh pool
};

// Creates the 256 zero-filled voices linked in index order into the active-voice list, and
// the ramp length for `rate` frames per second (at least 1 frame). Replaces any pool before
// it, so pointers into the old pool dangle. False for a rate below 1 or if memory runs out.
// sound_open calls it; tests call it directly.
bool voice_pool_create(int32_t rate);
void voice_pool_destroy();
Voice* voice_pool();          // the 256 voices, or null while no pool exists
Voice* active_voices();       // the list head to hand to mix_voices
int32_t output_rate();        // frames per second of the pool; 44100 before any pool
int32_t ramp_length();        // R = rate * 128 / 44100
int32_t quick_ramp_length();  // rate / 200 (5 ms), at least 1 frame

// Sets how the voice mixes (MixStyle) and recomputes its gains. Nothing without a pool or for
// an index outside 0..255.
void voice_set_mix_style(int32_t voice_index, MixStyle style);
// Sets the voice's two 8-bit target gains from its volume (0..255, 127 full) and panning
// (0..255, 128 centre) by its mix style.
void voice_update_gains(Voice* voice);

// Adds `frames` stereo frames (left, right floats) of every voice on the list to destination,
// advancing the voices. Whatever the step and position, no frame is read outside the sample's
// data (length + 8 frames). Mixing thread only; not re-entrant.
void mix_voices(float* destination, Voice* list_head, int32_t frames);
// Rounds (ties to even) and clamps 2 * frames floats to signed 16-bit.
void mix_to_pcm16(int16_t* destination, const float* source, int32_t frames);

// Loop cycles shorter than this are repeated for FT2 voices (Sample::unrolled).
constexpr uint32_t UNROLLED_FRAMES = 4096;
// Gives a sample whose loop cycle (a ping-pong loop's there and back) is shorter than
// UNROLLED_FRAMES its unrolled copy (none when memory runs out: it plays the same, slower).
void sample_unroll_loop(Sample* sample);

// Starts `sample` on the voice at its start_offset (0 when that is not below the loop end),
// moving forward; the voice's index, or -1 without a pool or sample or for an index outside
// 0..255. Target gains and step stay as they are; a SHOW voice keeps its ramp too, an FT2
// voice starts from silence and hands the note it was playing to a fade-out beside it.
int32_t voice_play(int32_t voice_index, Sample* sample);
// Silences the voice and any fade-out it handed over. True, also when no pool exists (then it does
// nothing); false only for an index outside 0..255.
bool voice_stop(int32_t voice_index);

}  // namespace player
