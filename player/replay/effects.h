// effects.h -- the volume column and the effect column, on a row's first tick and the later ones
#pragma once
#include <cstdint>

#include "player/replay/replay.h"

namespace player {

// XM effect numbers of the letter commands.
constexpr uint8_t EFFECT_TONE_PORTA = 0x03;
constexpr uint8_t EFFECT_TONE_PORTA_VOLSLIDE = 0x05;
constexpr uint8_t EFFECT_KEY_OFF = 20;  // Kxx

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
void volume_column(Channel* channel, uint8_t volume_byte);
// First tick of a row, after the volume column, envelopes and fade-out.
void effect_row(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                Sample* sample, RowState* row);
// Every later tick of the row (pattern-delay ticks included), volume column first.
void volume_column_tick(Channel* channel, uint8_t volume_byte);
void effect_tick(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                 Sample* sample);

// Moves the period porta_speed * 4 towards porta_target, stopping exactly on it.
void tone_porta_step(Channel* channel);
// One tick of the tremor cycle: tremor_on audible ticks, then tremor_off silent ones.
void tremor_step(Channel* channel);

}  // namespace player
