// pitch.h -- periods and frequencies, the voice setters, envelopes and the two vibratos
#pragma once
#include <cstdint>

#include "player/replay/replay.h"

namespace player {

// Period of `note` (0-based, relative note already added) with the sample's finetune, in the
// linear table (64 units a semitone, 4608 = 8363 Hz) or the Amiga table.
int32_t note_to_period(int32_t note, int8_t finetune, bool linear);
// Amiga period of `note` moved towards the next (finetune > 0) or previous note by finetune/128.
int32_t amiga_period(int32_t note, int8_t finetune);
// Hz for period + offset; the caller never passes a zero effective period.
int32_t channel_frequency(int32_t period, int32_t period_offset, bool linear);

// The setters write pool entry `voice_index` and keep its two 8-bit gains consistent with the
// latest volume and panning. No pool or an index outside it: nothing happens.
void voice_set_frequency(int32_t voice_index, int32_t hz);
void voice_set_volume(int32_t voice_index, int32_t volume);    // 0..255
void voice_set_panning(int32_t voice_index, int32_t panning);  // 0..255, 128 centre

// One of an instrument's two envelopes.
struct EnvelopeShape {
    const EnvelopePoint* points;
    int32_t count;  // points in use, at most 12
    uint8_t sustain, loop_start, loop_end;
    uint8_t type;  // bit 0 on, bit 1 sustain, bit 2 loop
};

// A channel's place on one envelope: its six fields of that envelope.
struct EnvelopeCursor {
    uint32_t& tick;
    int32_t& point;
    int32_t& pos;  // 16.16
    int32_t& value;
    int32_t& step;  // 16.16 per tick
    uint8_t& done;
};

EnvelopeShape volume_envelope(const Instrument* instrument);
EnvelopeShape panning_envelope(const Instrument* instrument);
EnvelopeCursor volume_cursor(Channel* channel);
EnvelopeCursor panning_cursor(Channel* channel);

// One tick of an envelope; sets `update_bit` on the channel.
void envelope_step(Channel* channel, const EnvelopeShape& envelope, EnvelopeCursor cursor,
                   uint8_t update_bit);

// The effect vibrato's offset for this tick into period_offset; the caller advances the phase.
void vibrato_step(Channel* channel);
// Moves vib_phase on by vib_speed, keeping it in -32..31.
void vibrato_advance(Channel* channel);
// The instrument's vibrato, added to period_offset once per tick after the effects.
void auto_vibrato_step(Channel* channel, const Instrument* instrument);

// FastTracker 2's pitch and envelope arithmetic, for songs played by its rules.

// Entries in FT2's period table: 10 octaves of 12 notes at 16 finetune steps, plus margins.
constexpr int32_t FT2_PERIODS = 1936;
// Period of table entry `index` (0..FT2_PERIODS - 1; others are clamped).
int32_t ft2_table_period(int32_t index, bool linear);
// Period of a real note (1-based, relative note added; 1..119) at `finetune`, which FT2 keeps
// to 1/16 of a semitone, rounding down.
int32_t ft2_note_period(int32_t real_note, int8_t finetune, bool linear);
// `period` snapped to the nearest semitone of the finetune's grid, moved up `semitones`:
// what the arpeggio and glissando sound.
int32_t ft2_snap_period(int32_t period, int32_t semitones, int8_t finetune, bool linear);
// Hz of an FT2 period; 0 for a period of 0.
int32_t ft2_frequency(int32_t period, bool linear);
// One tick of an envelope as FT2 steps it (8.8 value; the tick counts first). On is checked
// by the caller.
void ft2_envelope_step(Channel* channel, const EnvelopeShape& envelope, bool volume);
// Lxx: moves the volume envelope (and, when the volume envelope has a sustain point, the
// panning one) to `position`.
void ft2_set_envelope_position(Channel* channel, const Instrument* instrument, int32_t position);
// Effect vibrato: out_period from period and vib_position, which then moves on.
void ft2_vibrato(Channel* channel);
// Tremolo: out_volume from volume and trem_position, which then moves on.
void ft2_tremolo(Channel* channel);
// The instrument's vibrato: final_period from out_period.
void ft2_auto_vibrato(Channel* channel, const Instrument* instrument);

}  // namespace player
