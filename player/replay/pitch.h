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

}  // namespace player
