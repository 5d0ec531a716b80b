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
    int32_t volume;         // 0..64 (Cxx may go higher)
    int32_t panning;        // 0..255
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
    uint8_t wave_control;  // E4y in bits 0-3; under FT2's rules E7y in bits 4-7
    uint8_t fine_volslide_memory;

    // What only FT2's rules keep. FT2 splits a note into a trigger (sample and period), a
    // restore of the sample's volume and panning, and an instrument restart (envelopes,
    // fade-out, vibratos); the show's channel_reset does all three at once.
    uint8_t instrument_number;  // 1..128 for the next trigger, 0 before any
    uint8_t last_note;          // 1..96 as in the file, 0 before any
    uint8_t heard_instrument;   // 0-based, of the last trigger that sounded (real_note is its note)
    Sample* sample;             // of the last trigger; null: the silent stand-in
    int8_t relative_note;       // of `sample`, taken at the trigger
    int8_t finetune;            // of `sample`, or E5y's, taken at the trigger
    int32_t default_volume, default_panning;  // of `sample`, taken at the trigger
    int32_t out_volume;    // `volume` as heard this tick: tremolo and tremor write only this
    int32_t out_period;    // `period` with arpeggio, vibrato or glissando
    int32_t final_period;  // out_period with the auto-vibrato: what the voice sounds
    int32_t heard_period;  // the final_period the voice was last given
    int32_t fade_speed;    // fade-out per tick, latched at the instrument restart
    int16_t venv_fixed, venv_delta;            // volume envelope value and slope, 8.8
    int16_t penv_fixed, penv_delta;            // panning envelope value and slope, 8.8
    int32_t avib_amplitude;                    // 8.8
    uint8_t volume_byte;                       // this row's volume column
    uint8_t effect, parameter;                 // this row's effect column
    uint8_t saved_note, saved_instrument;      // a delayed note's cell
    uint8_t fine_up_memory, fine_down_memory;  // E1y, E2y
    uint8_t fine_volume_up_memory, fine_volume_down_memory;  // EAy, EBy
    uint8_t global_volslide_memory;                          // Hxy, kept per channel
    uint8_t tremor_memory, tremor_position;                  // bit 7 on, bits 0-6 ticks left
    uint8_t vib_position, trem_position, trem_speed, trem_depth;
    uint8_t glissando;
    uint8_t porta_direction;  // PORTA_*
    int32_t porta_step;       // period units a tick
    uint8_t retrig_count;
    uint8_t venv_placed;   // Lxx put the volume envelope on its sustain point
    uint32_t start_frame;  // the next trigger starts here (9xx)
};

// Channel::wave_control bits that keep a waveform's position across notes (E4y/E7y with 4..7).
constexpr uint8_t WAVE_VIBRATO_CONTINUES = 0x04;
constexpr uint8_t WAVE_TREMOLO_CONTINUES = 0x40;
// Channel::tremor_position: bit 7 while audible, the ticks left in the phase below it.
constexpr uint8_t TREMOR_ON = 0x80;
constexpr uint8_t TREMOR_TICKS = 0x7F;

// Channel::porta_direction under FT2's rules.
constexpr uint8_t PORTA_NONE = 0;
constexpr uint8_t PORTA_UP = 1;    // period rising, or the target reached
constexpr uint8_t PORTA_DOWN = 2;  // period falling

// All zero: stands in for an out-of-range instrument number.
extern Instrument empty_instrument;

// True when the song plays by FastTracker 2's rules, false for the show engine's.
inline bool ft2(const Song* song)
{
    return song->rules == Rules::FT2;
}

// The song's tick handler: one tick of every channel, run on the mixing thread.
void replay_tick(Song* song);
void replay_row(Song* song);
void replay_effects(Song* song);
// Instrument (re)trigger defaults from `sample`.
void channel_reset(Channel* channel, const Sample* sample);
// FT2's four building blocks of a note (the show's channel_reset does their work at once).
// The trigger starts `note` (1..96; 0 the last one; NOTE_KEY_OFF releases instead) with the
// sample the channel's instrument number selects; `effect` and `parameter` are its cell's,
// for E5y and 9xx.
void note_trigger(Song* song, Channel* channel, uint8_t note, uint8_t effect, uint8_t parameter);
// Volume and panning back to the defaults of the last trigger's sample.
void restore_defaults(Channel* channel);
// Envelopes, fade-out and vibratos from the start, for the last trigger's instrument.
void instrument_restart(Song* song, Channel* channel);
// Key-off: releases the envelopes' sustain, or silences an instrument without envelope.
void release_key(Song* song, Channel* channel);
// The instrument of the channel's last trigger, or the empty stand-in.
const Instrument* channel_instrument(const Song* song, const Channel* channel);
// The sample of the channel's last trigger, or the empty stand-in.
Sample* channel_sample(Channel* channel);
constexpr uint8_t NO_INSTRUMENT = 0xFF;  // Channel::instrument before any trigger (FT2's rules)

// Channel state a song starts with under its rules (the records are zero-filled first).
void replay_start(Song* song);
// The panning FT2 sounds: the channel's with its panning envelope.
int32_t ft2_final_panning(const Channel* channel);
// Pushes this tick's changes to the channel's voice.
void channel_commit(Channel* channel, Sample* sample, Song* song);

}  // namespace player
