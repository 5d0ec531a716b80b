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
    const int32_t rows = pattern != nullptr ? pattern->rows : 0;
    // FT2 reads a pattern of no rows, or one whose every cell is empty, as 64 empty rows, and
    // plays at most 256; the show's engine passes over a pattern of no rows and plays every
    // row stored.
    if (ft2(song)) return rows == 0 || pattern->blank != 0 ? 64 : std::min(rows, 256);
    return rows;
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
    const uint8_t number =
        channel->note < 96 ? instrument->note_sample[channel->note] : INSTRUMENT_SAMPLES;
    Sample* sample = number < INSTRUMENT_SAMPLES ? instrument->samples[number] : nullptr;
    return {instrument, sample != nullptr ? sample : &empty_sample};
}

void step_envelopes(Channel* channel, const Instrument* instrument)
{
    if ((instrument->volume_type & ENVELOPE_ON) != 0 && channel->venv_done == 0) {
        envelope_step(channel, volume_envelope(instrument), volume_cursor(channel), UPDATE_VOLUME);
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
    if (cell.instrument != 0 && !porta)
        channel->instrument = static_cast<uint8_t>(cell.instrument - 1);
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
    if (cell.volume != 0) volume_column(song, channel, cell.volume);
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

// FT2's tone portamento with a note: the note becomes the target (with the relative note and
// finetune of the sample already playing) and the voice is not retriggered; an instrument
// number restores the playing sample's defaults and restarts its envelopes
// (trace xm_portamento_envelope_reset), except after a key-off.
void porta_prepare(Song* song, Channel* channel, const Cell& cell)
{
    if (cell.note == NOTE_KEY_OFF) {
        release_key(song, channel);
    } else if (cell.note != 0) {
        const int32_t index =
            (cell.note - 1 + channel->relative_note) * 16 + (channel->finetune >> 3) + 16;
        if (index >= 0 && index < FT2_PERIODS) {
            channel->porta_target = ft2_table_period(index, linear_table(song));
            channel->porta_direction = channel->porta_target == channel->period  ? PORTA_NONE
                                       : channel->porta_target > channel->period ? PORTA_UP
                                                                                 : PORTA_DOWN;
        }
    }
    if (cell.instrument != 0) {
        restore_defaults(channel);
        if (cell.note != NOTE_KEY_OFF) instrument_restart(song, channel);
    }
}

bool is_note_delay(const Cell& cell)
{
    return cell.effect == EFFECT_EXTENDED && (cell.parameter >> 4) == EXTENDED_NOTE_DELAY &&
           (cell.parameter & 15) != 0;
}

// How FT2 reads a cell on a row's first tick. The show's decode_cell runs one reset for any
// instrument number; FT2 chooses among trigger, default restore, instrument restart and
// key-off by what the cell holds: an instrument number without a note restarts the playing
// sample's envelopes and defaults without switching sample (trace ft2_no_note_ins_envelope),
// K00 replaces the note (ft2_k00_is_note_off), a key-off with an instrument number keeps the
// envelope where it is (ft2_envelope_reset), and a row with EDy (y > 0) waits for its tick.
void read_cell(Song* song, Channel* channel, const Cell& stored)
{
    // A note byte past the key-off is no note (in every branch below, tone portamento's target
    // included).
    Cell cell = stored;
    if (cell.note > 96 && cell.note != NOTE_KEY_OFF) cell.note = 0;
    channel->update = 0;
    channel->volume_byte = cell.volume;
    // A row after an arpeggio, or after a vibrato that does not go on, sounds the plain period.
    if (channel->effect == EFFECT_ARPEGGIO && channel->parameter != 0) {
        channel->out_period = channel->period;
    } else if ((channel->effect == EFFECT_VIBRATO || channel->effect == EFFECT_VIBRATO_VOLSLIDE) &&
               cell.effect != EFFECT_VIBRATO && cell.effect != EFFECT_VIBRATO_VOLSLIDE) {
        channel->out_period = channel->period;
    }
    channel->effect = cell.effect;
    channel->parameter = cell.parameter;
    channel->saved_note = cell.note;
    channel->saved_instrument = cell.instrument;
    const uint8_t number = cell.instrument;  // 129..255 are cleared by the loader
    if (number != 0) channel->instrument_number = number;
    if (is_note_delay(cell)) return;

    const bool forced = cell.effect == EFFECT_EXTENDED && cell.parameter == 0x90;
    bool done = false;
    if (!forced) {
        if (cell.volume >= 0xF0) {
            if ((cell.volume & 15) != 0) channel->porta_step = (cell.volume & 15) * 64;
            porta_prepare(song, channel, cell);
            done = true;
        } else if (cell.effect == EFFECT_TONE_PORTA || cell.effect == EFFECT_TONE_PORTA_VOLSLIDE) {
            if (cell.effect == EFFECT_TONE_PORTA && cell.parameter != 0) {
                channel->porta_step = cell.parameter * 4;
            }
            porta_prepare(song, channel, cell);
            done = true;
        } else if (cell.effect == EFFECT_KEY_OFF && cell.parameter == 0) {
            release_key(song, channel);
            if (number != 0) restore_defaults(channel);
            done = true;
        } else if (cell.note == 0) {
            if (number != 0) {
                restore_defaults(channel);
                instrument_restart(song, channel);
            }
            done = true;
        }
    }
    if (!done) {
        if (cell.note == NOTE_KEY_OFF) {
            release_key(song, channel);
        } else {
            note_trigger(song, channel, cell.note, cell.effect, cell.parameter);
        }
        if (number != 0) {
            restore_defaults(channel);
            if (cell.note != NOTE_KEY_OFF) instrument_restart(song, channel);
        }
    }
    if (cell.volume != 0) volume_column(song, channel, cell.volume);
    effect_row(song, channel, cell, channel_instrument(song, channel), channel_sample(channel),
               &current_row);
}

// What FT2 does on every tick after a channel's row or effects: fade-out, envelopes and the
// auto-vibrato, all from the instrument of the last trigger. The show steps its envelopes
// before the effects, so a note started on a later tick shows its envelope a tick late.
void ft2_channel_update(Song* song, Channel* channel)
{
    const Instrument* instrument = channel_instrument(song, channel);
    if (channel->key_off != 0) {
        if (channel->fade_speed > channel->fadeout) {
            channel->fadeout = 0;
            channel->fade_speed = 0;
        } else {
            channel->fadeout -= channel->fade_speed;
        }
    }
    if ((instrument->volume_type & ENVELOPE_ON) != 0) {
        ft2_envelope_step(channel, volume_envelope(instrument), true);
    } else {
        channel->venv_value = 64;
    }
    if ((instrument->panning_type & ENVELOPE_ON) != 0) {
        ft2_envelope_step(channel, panning_envelope(instrument), false);
    } else {
        channel->penv_value = 32;
        channel->penv_fixed = 32 << 8;
    }
    ft2_auto_vibrato(channel, instrument);
    // Every tick goes to the voice: global volume and the envelopes reach every channel.
    channel->update |= UPDATE_VOLUME | UPDATE_PANNING | UPDATE_FREQUENCY;
    channel_commit(channel, channel_sample(channel), song);
}

}  // namespace

Sample* channel_sample(Channel* channel)
{
    return channel->sample != nullptr ? channel->sample : &empty_sample;
}

const Instrument* channel_instrument(const Song* song, const Channel* channel)
{
    // FT2 has 128 instrument slots; one the file leaves empty holds FT2's blank instrument,
    // whose fade-out (128, doubled here) a key-off after a note on it uses (trace
    // ft2_instrument_fade_update).
    static const Instrument blank = [] {
        Instrument instrument{};
        instrument.fadeout = 256;
        return instrument;
    }();
    if (channel->instrument >= song->instrument_count || song->instruments == nullptr) {
        return &blank;
    }
    return &song->instruments[channel->instrument];
}

void note_trigger(Song* song, Channel* channel, uint8_t note, uint8_t effect, uint8_t parameter)
{
    if (note == NOTE_KEY_OFF) {
        release_key(song, channel);
        return;
    }
    if (note == 0) note = channel->last_note;
    if (note == 0 || note > 96) return;  // nothing played yet: nothing to play again
    channel->last_note = note;
    // Instrument numbers the file lacks select an empty instrument: the note is silent.
    channel->instrument = channel->instrument_number != 0
                              ? static_cast<uint8_t>(channel->instrument_number - 1)
                              : NO_INSTRUMENT;
    const Instrument* instrument = channel_instrument(song, channel);
    const uint8_t which = instrument->note_sample[note - 1];
    Sample* sample = which < INSTRUMENT_SAMPLES ? instrument->samples[which] : nullptr;
    if (sample == &empty_sample) sample = nullptr;
    channel->sample = sample;
    // FT2 keeps relative notes within -48..71 (C-0 to B-9 from C-4).
    channel->relative_note =
        sample != nullptr ? static_cast<int8_t>(std::clamp<int32_t>(sample->relative_note, -48, 71))
                          : 0;
    // A note the relative note moves out of range does nothing more: the old one sounds on
    // (trace ft2_note_range).
    const uint8_t real_note = static_cast<uint8_t>(note + channel->relative_note);
    if (real_note >= 120) return;
    channel->heard_instrument = channel->instrument;
    channel->default_volume = sample != nullptr ? sample->volume : 0;
    channel->default_panning = sample != nullptr ? sample->panning : 128;
    if (effect == EFFECT_EXTENDED && (parameter >> 4) == EXTENDED_SET_FINETUNE) {
        channel->finetune = static_cast<int8_t>((parameter & 15) * 16 - 128);
    } else {
        channel->finetune = sample != nullptr ? sample->finetune : 0;
    }
    // One below the lowest note retriggers at the old period (trace ft2_note_range, row 1F).
    if (real_note != 0) {
        channel->real_note = static_cast<uint8_t>(real_note - 1);
        channel->period = ft2_note_period(real_note, channel->finetune, linear_table(song));
        channel->out_period = channel->period;
    }
    channel->update |= UPDATE_FREQUENCY | UPDATE_VOLUME | UPDATE_PANNING | UPDATE_TRIGGER;
    // 9xx counts only with a note read from its own row (trace ft2_offset_memory).
    if (effect == EFFECT_SAMPLE_OFFSET) {
        if (parameter != 0) channel->offset_memory = parameter;
        channel->start_frame = static_cast<uint32_t>(channel->offset_memory) * 256;
    } else {
        channel->start_frame = 0;
    }
}

void restore_defaults(Channel* channel)
{
    channel->volume = channel->default_volume;
    channel->out_volume = channel->default_volume;
    channel->panning = channel->default_panning;
    channel->update |= UPDATE_VOLUME | UPDATE_PANNING;
}

void instrument_restart(Song* song, Channel* channel)
{
    const Instrument* instrument = channel_instrument(song, channel);
    if ((channel->wave_control & WAVE_VIBRATO_CONTINUES) == 0) channel->vib_position = 0;
    if ((channel->wave_control & WAVE_TREMOLO_CONTINUES) == 0) channel->trem_position = 0;
    channel->retrig_count = 0;
    channel->tremor_position = 0;
    channel->key_off = 0;
    channel->venv_placed = 0;
    // The next update counts the tick to 0, where point 0 is taken: a note shows the first
    // point on its own tick, a delayed one too (trace ft2_delay_envelope_on).
    if ((instrument->volume_type & ENVELOPE_ON) != 0) {
        channel->venv_tick = 0xFFFF;
        channel->venv_point = 0;
    }
    if ((instrument->panning_type & ENVELOPE_ON) != 0) {
        channel->penv_tick = 0xFFFF;
        channel->penv_point = 0;
    }
    channel->fade_speed = instrument->fadeout;
    channel->fadeout = 65536;
    if (instrument->vibrato_depth > 0) {
        channel->avib_phase = 0;
        if (instrument->vibrato_sweep > 0) {
            channel->avib_amplitude = 0;
            channel->avib_sweep = (instrument->vibrato_depth << 8) / instrument->vibrato_sweep;
        } else {
            channel->avib_amplitude = instrument->vibrato_depth << 8;
            channel->avib_sweep = 0;
        }
    }
}

void release_key(Song* song, Channel* channel)
{
    const Instrument* instrument = channel_instrument(song, channel);
    channel->key_off = 1;
    // Held at the sustain point the tick ran on; it is pulled back just before the point so
    // the envelope goes on from there next tick (traces ft2_k00_is_note_off,
    // ft2_delay_envelope_sustain). A Kxx on a later tick, or a key-off after Lxx put the
    // envelope on the point, leaves it on the key-off tick itself (ft2_kxx, lxx_after_loop).
    const auto pull_back = [](uint32_t& tick, int32_t point, const EnvelopePoint* points) {
        const uint16_t at = points[std::clamp(point, 0, 11)].tick;
        if (static_cast<uint16_t>(tick) < at) return false;
        tick = static_cast<uint16_t>(at - 1);
        return true;
    };
    if ((instrument->volume_type & ENVELOPE_ON) != 0) {
        if (pull_back(channel->venv_tick, channel->venv_point, instrument->volume_envelope) &&
            (song->tick % std::max<int32_t>(song->speed, 1) != 0 || channel->venv_placed != 0)) {
            ft2_envelope_step(channel, volume_envelope(instrument), true);
        }
    } else {
        // Without an envelope the volume itself goes to 0; a later volume command brings the
        // note back (trace ft2_kxx).
        channel->volume = 0;
        channel->out_volume = 0;
        channel->update |= UPDATE_VOLUME;
    }
    // FT2 tests the panning envelope the wrong way round: one that is on never leaves its
    // sustain point.
    if ((instrument->panning_type & ENVELOPE_ON) == 0) {
        pull_back(channel->penv_tick, channel->penv_point, instrument->panning_envelope);
    }
}

void replay_start(Song* song)
{
    if (song == nullptr || song->channels == nullptr || !ft2(song)) return;
    // Until the first instrument number a channel plays the silent stand-in (trace
    // ft2_instrument_memory_default); FT2 starts every channel centred.
    for (int32_t i = 0; i < song->channel_count; ++i) {
        Channel* channel = &song->channels[i];
        channel->instrument = NO_INSTRUMENT;
        channel->panning = 128;
        channel->default_panning = 128;
        channel->fadeout = 65536;
        channel->venv_value = 64;
        channel->penv_value = 32;
        channel->penv_fixed = 32 << 8;
    }
}

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
            if (ft2(song) && current_row.loop_target >= 0)
                song->loop_row_left = current_row.loop_target;
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
                // FT2 never clears the row its pattern loop jumped to: the next pattern starts
                // there, after the loop is done (or at 0 past that pattern's end). The show's
                // engine starts at row 0.
                next_row = ft2(song) ? song->loop_row_left : 0;
                song->loop_row_left = 0;
            }
            song->next_row = next_row;
        } else {
            song->loop_row_left = 0;  // a jump or break chooses the row itself
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
    if (song->channel_count <= 0 || song->channels == nullptr) return;
    if (ft2(song)) {
        // A row without cells (an empty pattern) still starts: its effects end, time passes.
        for (int32_t i = 0; i < song->channel_count; ++i) {
            read_cell(song, &song->channels[i], cells != nullptr ? cells[i] : EMPTY_CELL);
            ft2_channel_update(song, &song->channels[i]);
        }
        return;
    }
    if (cells == nullptr) return;
    for (int32_t i = 0; i < song->channel_count; ++i)
        decode_cell(song, &song->channels[i], cells[i]);
}

void replay_effects(Song* song)
{
    if (song->channel_count <= 0 || song->channels == nullptr) return;
    // A pattern without cells still lets time pass for the envelopes and fade-outs.
    const Cell* cells = row_cells(song);
    for (int32_t i = 0; i < song->channel_count; ++i) {
        Channel* channel = &song->channels[i];
        const Cell& cell = cells != nullptr ? cells[i] : EMPTY_CELL;
        if (ft2(song)) {
            channel->update = 0;
            volume_column_tick(song, channel, channel->volume_byte);
            effect_tick(song, channel, cell, channel_instrument(song, channel),
                        channel_sample(channel));
            ft2_channel_update(song, channel);
            continue;
        }
        const Resolved resolved = resolve(song, channel);
        channel->volume_offset = 0;
        channel->period_offset = 0;
        channel->update = 0;
        step_envelopes(channel, resolved.instrument);
        fade_out(channel, resolved.instrument);
        volume_column_tick(song, channel, cell.volume);
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
    const bool ft2_rules = ft2(song);
    // The show's engine leaves the pitch alone at a period of 0; FT2 sounds the final period,
    // in which 0 stands the voice still.
    if (!ft2_rules && channel->period + channel->period_offset == 0) {
        channel->update &= static_cast<uint8_t>(~UPDATE_FREQUENCY);
    }
    const uint8_t update = channel->update;
    if ((update & UPDATE_TRIGGER) != 0) {
        const int32_t own =
            channel->voice != nullptr ? channel->voice->index : channel->voice_index;
        if (!ft2_rules) {
            channel->voice_index = voice_play(own, sample);
        } else if (channel->start_frame >= uint64_t{sample->loop_start} + sample->loop_length) {
            // FT2 shuts a voice off that would start at or past its sample's end; the show
            // starts it from the beginning.
            voice_stop(own);
            channel->voice_index = own;
        } else {
            if (channel->voice != nullptr) channel->voice->start_offset = channel->start_frame;
            channel->voice_index = voice_play(own, sample);
        }
    }
    if ((update & UPDATE_VOLUME) != 0) {
        // 64 * 64 * 65536 * 64 at full scale gives 127. Cxx can take the channel volume past
        // 64; from 128 on the result would not fit the 8-bit gains, so it stops at 255
        // (trace volume_effects, CFF). FT2 hears out_volume, which tremolo and tremor set.
        const int32_t heard =
            ft2_rules ? channel->out_volume : channel->volume + channel->volume_offset;
        const int64_t product = static_cast<int64_t>(heard) * channel->venv_value *
                                channel->fadeout * song->global_volume;
        constexpr int64_t LOUDEST = int64_t{1} << 35;  // and above: 255
        const int64_t volume = product <= 0 ? 0 : product >= LOUDEST ? 255 : (product * 255) >> 35;
        // FT2's rules flag every tick; a voice that has the volume already is left alone.
        if (!ft2_rules || channel->voice == nullptr || channel->voice->volume != volume) {
            voice_set_volume(channel->voice_index, static_cast<int32_t>(volume));
        }
    }
    if ((update & UPDATE_PANNING) != 0) {
        if (ft2_rules) {
            const int32_t panning = ft2_final_panning(channel);
            if (channel->voice == nullptr || channel->voice->panning != panning) {
                voice_set_panning(channel->voice_index, panning);
            }
        } else {
            // The envelope swings at most as far as the panning is from the nearer edge; the
            // division truncates first, so the swing is 0..4 times the envelope's offset.
            const int32_t room = (128 - std::abs(channel->panning - 128)) / 32;
            voice_set_panning(channel->voice_index,
                              channel->panning + room * (channel->penv_value - 32));
        }
    }
    if ((update & UPDATE_FREQUENCY) != 0) {
        if (!ft2_rules) {
            voice_set_frequency(
                channel->voice_index,
                channel_frequency(channel->period, channel->period_offset, linear_table(song)));
        } else if (channel->final_period != channel->heard_period ||
                   (update & UPDATE_TRIGGER) != 0) {
            // Most ticks leave the pitch where it was: the voice keeps its step.
            channel->heard_period = channel->final_period;
            voice_set_step(channel->voice_index,
                           ft2_step(channel->final_period, linear_table(song)));
        }
    }
    if ((update & UPDATE_STOP) != 0) {
        if (channel->voice_index >= 0 && channel->voice_index < VOICE_COUNT) {
            voice_stop(channel->voice_index);
        }
        if (channel->voice != nullptr) channel->voice->start_offset = 0;
    }
}

int32_t ft2_final_panning(const Channel* channel)
{
    // The envelope swings as far as the panning is from the nearer edge.
    const int32_t room = 128 - std::abs(channel->panning - 128);
    const int32_t swing = ((static_cast<int32_t>(channel->penv_fixed) - 32 * 256) * room * 8) >> 16;
    return std::clamp(channel->panning + swing, 0, 255);
}

}  // namespace player
