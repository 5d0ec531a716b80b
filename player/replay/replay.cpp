// replay.cpp -- tick sequencing, notes and instruments, and the commit to the voices

#include "player/replay/replay.h"

#include <algorithm>
#include <cstdlib>

#include "player/control.h"
#include "player/replay/effects.h"
#include "player/replay/pitch.h"

namespace player {

Instrument empty_instrument{};

namespace {

// The row state of the row being decoded; replay_tick reads its loop target right after.
RowState current_row{};

constexpr Cell EMPTY_CELL{};

bool linear_table(const Song* song)
{
    return (song->flags & FLAG_LINEAR) != 0;
}

// The pattern that order `order` plays, or null when the order or the pattern number lies
// outside the song.
const Pattern* order_pattern(const Song* song, int32_t order)
{
    if (order < 0 || order >= 256 || song->patterns == nullptr) return nullptr;
    const int32_t number = song->order_table[order];
    if (number >= song->pattern_slots) return nullptr;
    return &song->patterns[number];
}

int32_t order_rows(const Song* song, int32_t order)
{
    const Pattern* pattern = order_pattern(song, order);
    return pattern != nullptr ? pattern->rows : 0;
}

// The cells of the current row, or null when the pattern has none (0 rows, or missing).
const Cell* row_cells(const Song* song)
{
    const Pattern* pattern = order_pattern(song, song->order);
    if (pattern == nullptr || pattern->cells == nullptr || pattern->rows <= 0) return nullptr;
    const int32_t row = song->row;
    if (row < 0 || row >= pattern->rows) return nullptr;
    return pattern->cells + static_cast<size_t>(song->channel_count) * static_cast<size_t>(row);
}

struct Resolved {
    const Instrument* instrument;
    Sample* sample;
};

// The channel's instrument and the sample its note selects, with the empty stand-ins for
// anything out of range.
Resolved resolve(const Song* song, const Channel* channel)
{
    if (channel->instrument >= song->instrument_count || song->instruments == nullptr) {
        return {&empty_instrument, &empty_sample};
    }
    const Instrument* instrument = &song->instruments[channel->instrument];
    // note_sample covers the 96 notes; a stray cell note above them plays nothing.
    const uint8_t number = channel->note < 96 ? instrument->note_sample[channel->note] : 16;
    Sample* sample = number < 16 ? instrument->samples[number] : nullptr;
    return {instrument, sample != nullptr ? sample : &empty_sample};
}

void step_envelopes(Channel* channel, const Instrument* instrument)
{
    if ((instrument->volume_type & ENVELOPE_ON) != 0 && channel->venv_done == 0) {
        envelope_step(channel, volume_envelope(instrument), volume_cursor(channel),
                      UPDATE_VOLUME);
    }
    if ((instrument->panning_type & ENVELOPE_ON) != 0 && channel->penv_done == 0) {
        envelope_step(channel, panning_envelope(instrument), panning_cursor(channel),
                      UPDATE_PANNING);
    }
}

void fade_out(Channel* channel, const Instrument* instrument)
{
    if (channel->key_off == 0) return;
    channel->fadeout = std::max(channel->fadeout - instrument->fadeout, 0);
    channel->update |= UPDATE_VOLUME;
}

// A cell whose note slides instead of sounding: effect 3 or 5, or a volume-column Fy. Fy
// counts too, else its note would jump there at once and leave nothing to slide to (traces
// volume_column and portamento).
bool tone_porta_cell(const Cell& cell)
{
    return cell.effect == EFFECT_TONE_PORTA || cell.effect == EFFECT_TONE_PORTA_VOLSLIDE ||
           cell.volume >= 0xF0;
}

void decode_cell(Song* song, Channel* channel, const Cell& cell)
{
    const bool porta = tone_porta_cell(cell);
    const bool has_note = cell.note != 0 && cell.note != NOTE_KEY_OFF;
    if (cell.instrument != 0 && !porta) channel->instrument = static_cast<uint8_t>(cell.instrument - 1);
    if (has_note && !porta) channel->note = static_cast<uint8_t>(cell.note - 1);
    const Resolved resolved = resolve(song, channel);
    const Instrument* instrument = resolved.instrument;
    Sample* sample = resolved.sample;

    current_row.kept_volume = channel->volume;
    current_row.kept_period = channel->period;
    current_row.kept_panning = channel->panning;
    channel->volume_offset = 0;
    channel->update = 0;

    if (has_note) {
        channel->real_note = static_cast<uint8_t>(cell.note - 1 + sample->relative_note);
        channel->note_period =
            note_to_period(channel->real_note, sample->finetune, linear_table(song));
        if (!porta) channel->period = channel->note_period;
        channel->update = UPDATE_TRIGGER;
    }
    channel->period_offset = 0;
    channel->update |= UPDATE_FREQUENCY | UPDATE_VOLUME;

    // Also in a tone-portamento cell, with the sample of the old note and instrument.
    if (cell.instrument != 0) channel_reset(channel, sample);
    if (cell.volume != 0) volume_column(channel, cell.volume);
    if (cell.note == NOTE_KEY_OFF || cell.effect == EFFECT_KEY_OFF) channel->key_off = 1;

    if ((instrument->volume_type & ENVELOPE_ON) != 0) {
        if (channel->venv_done == 0) {
            envelope_step(channel, volume_envelope(instrument), volume_cursor(channel),
                          UPDATE_VOLUME);
        }
    } else if (channel->key_off != 0) {
        channel->venv_value = 0;  // without an envelope a released note is silent at once
    }
    if ((instrument->panning_type & ENVELOPE_ON) != 0 && channel->penv_done == 0) {
        envelope_step(channel, panning_envelope(instrument), panning_cursor(channel),
                      UPDATE_PANNING);
    }
    fade_out(channel, instrument);

    effect_row(song, channel, cell, instrument, sample, &current_row);
    auto_vibrato_step(channel, instrument);
    channel_commit(channel, sample, song);
}

}  // namespace

void replay_tick(Song* song)
{
    if (song == nullptr) return;
    if (song->tick != 0) {
        replay_effects(song);
    } else {
        const int32_t left_order = song->order;
        const bool order_given = song->next_order >= 0;
        if (song->next_order >= 0) song->order = song->next_order;
        if (song->next_row >= 0) song->row = song->next_row;
        // A break into a shorter pattern plays from its first row rather than past its end
        // (trace break_past_pattern_end).
        if (song->row >= order_rows(song, song->order)) song->row = 0;
        song_row_started(song, left_order, order_given);

        replay_row(song);

        if (song->next_row == -1) {
            const int32_t row = song->row;
            int32_t next_row = current_row.loop_target >= 0 ? current_row.loop_target : row + 1;
            if (next_row >= order_rows(song, song->order)) {
                int32_t next_order = song->order + 1;
                if (next_order >= song->song_length) {
                    next_order = song->restart_position;
                    // A restart position outside the order list starts the song over
                    // (ReplayTest.RestartPositionOutsideTheOrderListStartsOver).
                    if (next_order < 0 || next_order >= song->song_length) next_order = 0;
                    song->song_looped = 1;
                }
                song->next_order = next_order;
                next_row = 0;
            }
            song->next_row = next_row;
        }
    }
    song->tick += 1;
    if (song->tick >= song->speed + song->pattern_delay) {
        song->pattern_delay = 0;
        song->tick = 0;
    }
}

void replay_row(Song* song)
{
    song->next_row = -1;
    song->next_order = -1;
    current_row = RowState{false, -1, 0, 0, 0};
    const Cell* cells = row_cells(song);
    if (cells == nullptr || song->channel_count <= 0 || song->channels == nullptr) return;
    for (int32_t i = 0; i < song->channel_count; ++i) {
        decode_cell(song, &song->channels[i], cells[i]);
    }
}

void replay_effects(Song* song)
{
    if (song->channel_count <= 0 || song->channels == nullptr) return;
    // A pattern without cells still lets time pass for the envelopes and fade-outs.
    const Cell* cells = row_cells(song);
    for (int32_t i = 0; i < song->channel_count; ++i) {
        Channel* channel = &song->channels[i];
        const Cell& cell = cells != nullptr ? cells[i] : EMPTY_CELL;
        const Resolved resolved = resolve(song, channel);
        channel->volume_offset = 0;
        channel->period_offset = 0;
        channel->update = 0;
        step_envelopes(channel, resolved.instrument);
        fade_out(channel, resolved.instrument);
        volume_column_tick(channel, cell.volume);
        effect_tick(song, channel, cell, resolved.instrument, resolved.sample);
        auto_vibrato_step(channel, resolved.instrument);
        channel_commit(channel, resolved.sample, song);
    }
}

void channel_reset(Channel* channel, const Sample* sample)
{
    channel->volume = sample->volume;
    channel->panning = sample->panning;
    channel->venv_value = 64;
    channel->venv_point = 0;
    channel->venv_tick = 0;
    channel->venv_step = 0;
    channel->venv_done = 0;
    channel->penv_value = 32;
    channel->penv_point = 0;
    channel->penv_tick = 0;
    channel->penv_step = 0;
    channel->penv_done = 0;
    channel->key_off = 0;
    channel->fadeout = 65536;
    channel->avib_sweep = 0;
    channel->avib_phase = 0;
    // E4y with bit 2 or 3 keeps the vibrato running across notes.
    if ((channel->wave_control & 0x0F) < 4) channel->vib_phase = 0;
    channel->tremor_count = 0;
    channel->update |= UPDATE_VOLUME | UPDATE_PANNING;
}

void channel_commit(Channel* channel, Sample* sample, Song* song)
{
    if (channel->period + channel->period_offset == 0) {
        channel->update &= static_cast<uint8_t>(~UPDATE_FREQUENCY);
    }
    const uint8_t update = channel->update;
    if ((update & UPDATE_TRIGGER) != 0) {
        const int32_t own = channel->voice != nullptr ? channel->voice->index : channel->voice_index;
        channel->voice_index = voice_play(own, sample);
    }
    if ((update & UPDATE_VOLUME) != 0) {
        // 64 * 64 * 65536 * 64 at full scale gives 127. Cxx can take the channel volume past
        // 64; from 128 on the result would not fit the 8-bit gains, so it stops at 255
        // (trace volume_effects, CFF).
        const int64_t product = static_cast<int64_t>(channel->volume + channel->volume_offset) *
                                channel->venv_value * channel->fadeout * song->global_volume;
        constexpr int64_t LOUDEST = int64_t{1} << 35;  // and above: 255
        const int64_t volume = product <= 0 ? 0 : product >= LOUDEST ? 255 : (product * 255) >> 35;
        voice_set_volume(channel->voice_index, static_cast<int32_t>(volume));
    }
    if ((update & UPDATE_PANNING) != 0) {
        // The envelope swings at most as far as the panning is from the nearer edge; the
        // division truncates first, so the swing is 0..4 times the envelope's offset.
        const int32_t room = (128 - std::abs(channel->panning - 128)) / 32;
        voice_set_panning(channel->voice_index,
                          channel->panning + room * (channel->penv_value - 32));
    }
    if ((update & UPDATE_FREQUENCY) != 0) {
        voice_set_frequency(channel->voice_index,
                            channel_frequency(channel->period, channel->period_offset,
                                              linear_table(song)));
    }
    if ((update & UPDATE_STOP) != 0) {
        if (channel->voice_index >= 0 && channel->voice_index < VOICE_COUNT) {
            voice_stop(channel->voice_index);
        }
        if (channel->voice != nullptr) channel->voice->start_offset = 0;
    }
}

}  // namespace player
