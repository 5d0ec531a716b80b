// replay.h -- per-channel replay state and the tick sequencer that drives the voices
#pragma once
#include <cstdint>

#include "player/mixer/mixer.h"
#include "player/xm.h"

namespace player {

// Change bits collected during a tick and pushed to the voice by channel_commit.
constexpr uint8_t UPDATE_FREQUENCY = 0x01;
constexpr uint8_t UPDATE_VOLUME = 0x02;
constexpr uint8_t UPDATE_PANNING = 0x04;
constexpr uint8_t UPDATE_TRIGGER = 0x08;
constexpr uint8_t UPDATE_STOP = 0x20;
// What a note does to its voice; a note delay holds these back until its tick (a stop goes
// through).
constexpr uint8_t UPDATE_NOTE = UPDATE_FREQUENCY | UPDATE_VOLUME | UPDATE_PANNING | UPDATE_TRIGGER;

struct Channel {
    uint8_t note;    // 0-based last note, 0..95
    uint8_t update;  // UPDATE_* bits of this tick
    Voice* voice;
    int32_t voice_index;
    int32_t period;
    int32_t volume;   // 0..64 (Cxx may go higher)
    int32_t panning;  // 0..255
    int32_t volume_offset;  // cleared every tick; tremor mutes with it
    int32_t period_offset;  // cleared every tick; arpeggio and vibratos
    uint32_t venv_tick;
    int32_t venv_point;
    int32_t venv_pos;    // 16.16
    int32_t venv_value;  // 0..64
    int32_t venv_step;   // 16.16 per tick
    uint8_t venv_done;
    uint32_t penv_tick;
    int32_t penv_point;
    int32_t penv_pos;
    int32_t penv_value;  // 0..64, 32 centre
    int32_t penv_step;
    uint8_t penv_done;
    int32_t fadeout;  // 65536 full
    int32_t avib_phase;
    int32_t avib_sweep;
    uint8_t key_off;
    uint8_t instrument;  // 0-based
    uint8_t real_note;   // note + relative note, 8-bit wrap
    int32_t note_period;
    int32_t offset_memory;
    uint8_t porta_down_memory, porta_up_memory;
    uint8_t xfine_down_memory, xfine_up_memory;
    uint8_t volslide_memory, panslide_memory;
    uint8_t retrig_mode, retrig_interval;
    int32_t porta_target;
    uint8_t porta_speed;
    int8_t vib_phase;  // -32..31
    uint8_t vib_speed, vib_depth;
    uint8_t tremor_count, tremor_on, tremor_off;
    int32_t loop_row, loop_count;
    uint8_t wave_control;
    uint8_t fine_volslide_memory;
};

// All zero: stands in for an out-of-range instrument number.
extern Instrument empty_instrument;

// The song's tick handler: one tick of every channel, run on the mixing thread.
void replay_tick(Song* song);
void replay_row(Song* song);
void replay_effects(Song* song);
// Instrument (re)trigger defaults from `sample`.
void channel_reset(Channel* channel, const Sample* sample);
// Pushes this tick's changes to the channel's voice.
void channel_commit(Channel* channel, Sample* sample, Song* song);

}  // namespace player
