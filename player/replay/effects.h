// effects.h -- the volume column and the effect column, on a row's first tick and the later ones
#pragma once
#include <cstdint>

#include "player/replay/replay.h"

namespace player {

// XM effect numbers, as a cell's effect byte holds them: 0..F, then the letters G = 16 up to
// X = 33. Numbers not listed do nothing.
enum Effect : uint8_t {
    EFFECT_ARPEGGIO = 0x00,
    EFFECT_PORTA_UP = 0x01,
    EFFECT_PORTA_DOWN = 0x02,
    EFFECT_TONE_PORTA = 0x03,
    EFFECT_VIBRATO = 0x04,
    EFFECT_TONE_PORTA_VOLSLIDE = 0x05,
    EFFECT_VIBRATO_VOLSLIDE = 0x06,
    EFFECT_TREMOLO = 0x07,
    EFFECT_SET_PANNING = 0x08,
    EFFECT_SAMPLE_OFFSET = 0x09,
    EFFECT_VOLUME_SLIDE = 0x0A,
    EFFECT_POSITION_JUMP = 0x0B,
    EFFECT_SET_VOLUME = 0x0C,
    EFFECT_PATTERN_BREAK = 0x0D,
    EFFECT_EXTENDED = 0x0E,  // Exy: the command in x, see ExtendedEffect
    EFFECT_SPEED_TEMPO = 0x0F,
    EFFECT_GLOBAL_VOLUME = 16,        // G
    EFFECT_GLOBAL_VOLUME_SLIDE = 17,  // H
    EFFECT_KEY_OFF = 20,              // K
    EFFECT_ENVELOPE_POSITION = 21,    // L
    EFFECT_PANNING_SLIDE = 25,        // P
    EFFECT_MULTI_RETRIGGER = 27,      // R
    EFFECT_TREMOR = 29,               // T
    EFFECT_EXTRA_FINE_PORTA = 33,     // X
};

// The commands of Exy, in the parameter's high nibble.
enum ExtendedEffect : uint8_t {
    EXTENDED_FINE_PORTA_UP = 0x1,
    EXTENDED_FINE_PORTA_DOWN = 0x2,
    EXTENDED_GLISSANDO = 0x3,
    EXTENDED_VIBRATO_CONTROL = 0x4,
    EXTENDED_SET_FINETUNE = 0x5,
    EXTENDED_PATTERN_LOOP = 0x6,
    EXTENDED_TREMOLO_CONTROL = 0x7,
    EXTENDED_SET_PANNING_COARSE = 0x8,
    EXTENDED_RETRIGGER = 0x9,
    EXTENDED_FINE_VOLUME_UP = 0xA,
    EXTENDED_FINE_VOLUME_DOWN = 0xB,
    EXTENDED_NOTE_CUT = 0xC,
    EXTENDED_NOTE_DELAY = 0xD,
    EXTENDED_PATTERN_DELAY = 0xE,
};

// What the effects of one row share across its channels, and what the channel being decoded
// held before its cell was applied. Lives for one replay_row.
struct RowState {
    bool jump_seen;       // a Bxx in an earlier channel of this row
    int32_t loop_target;  // row an E6y sends the song back to, -1 for none
    // The current channel's volume, period and panning before its note, instrument and volume
    // columns: a note delay puts them back until the note sounds.
    int32_t kept_volume, kept_period, kept_panning;
};

// First tick of a row; only called for a non-zero volume byte, after note and instrument.
void volume_column(Song* song, Channel* channel, uint8_t volume_byte);
// First tick of a row, after the volume column, envelopes and fade-out.
void effect_row(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                Sample* sample, RowState* row);
// Every later tick of the row (pattern-delay ticks included), volume column first.
void volume_column_tick(Song* song, Channel* channel, uint8_t volume_byte);
void effect_tick(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                 Sample* sample);
// Under FT2's rules, the later ticks of every effect but Exy.
void ft2_effect_tick(Song* song, Channel* channel, const Cell& cell);

// Moves the period porta_speed * 4 towards porta_target, stopping exactly on it.
void tone_porta_step(Channel* channel);
// One tick of the tremor cycle: tremor_on audible ticks, then tremor_off silent ones.
void tremor_step(Channel* channel);

}  // namespace player
