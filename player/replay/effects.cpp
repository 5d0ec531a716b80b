// effects.cpp -- the volume column and the effect column: what each command does on the first
// tick of its row and on the later ones, with the parameter memories

#include "player/replay/effects.h"

#include <algorithm>

#include "player/control.h"
#include "player/replay/pitch.h"

namespace player {

namespace {

constexpr int32_t MIN_PORTA_UP_PERIOD = 56;

int32_t raise(int32_t value, int32_t amount, int32_t most)
{
    return std::min(value + amount, most);
}

int32_t lower(int32_t value, int32_t amount)
{
    return std::max(value - amount, 0);
}

bool linear_table(const Song* song)
{
    return (song->flags & FLAG_LINEAR) != 0;
}

// The tick within the row (within the pass, under a pattern delay), as FT2's effects count.
int32_t pass_tick(const Song* song)
{
    return song->speed > 0 ? song->tick % song->speed : song->tick;
}

// Sets the channel volume; out_volume follows, as in every FT2 command that sets it (only
// tremolo and tremor set out_volume alone). The show's engine reads `volume` only.
void set_volume(Channel* channel, int32_t volume)
{
    channel->volume = volume;
    channel->out_volume = volume;
    channel->update |= UPDATE_VOLUME;
}

// FT2's Axy, 5xy and 6xy on later ticks: the memory is written here, the up nibble wins.
void ft2_volume_slide(Channel* channel, uint8_t parameter)
{
    if (parameter == 0) parameter = channel->volslide_memory;
    channel->volslide_memory = parameter;
    const int32_t up = parameter >> 4;
    set_volume(channel,
               up != 0 ? raise(channel->volume, up, 64) : lower(channel->volume, parameter & 15));
}

// FT2's tone portamento, a later tick: towards the target in the direction the note row set;
// once there the direction reads "up", so a period pushed above it returns at once.
void ft2_porta_step(const Song* song, Channel* channel)
{
    if (channel->porta_direction == PORTA_NONE) return;
    if (channel->porta_direction == PORTA_DOWN) {
        channel->period -= channel->porta_step;
        if (static_cast<int16_t>(channel->period) <= static_cast<int16_t>(channel->porta_target)) {
            channel->period = channel->porta_target;
            channel->porta_direction = PORTA_UP;
        }
    } else {
        channel->period += channel->porta_step;
        if (channel->period >= channel->porta_target) {
            channel->period = channel->porta_target;
            channel->porta_direction = PORTA_UP;
        }
    }
    // With glissando (E31) the pitch moves in semitones while the period slides on.
    channel->out_period =
        channel->glissando != 0
            ? ft2_snap_period(channel->period, 0, channel->finetune, linear_table(song))
            : channel->period;
    channel->update |= UPDATE_FREQUENCY;
}

// FT2's period slides: 1xx/E1y/X1y up (period down, floor 1), 2xx/E2y/X2y down (below 32000).
void ft2_slide_period(Channel* channel, int32_t change)
{
    int32_t period = channel->period + change;
    if (change < 0 && static_cast<int16_t>(period) < 1) period = 1;
    if (change > 0 && period >= 32000) period = 31999;
    channel->period = period;
    channel->out_period = period;
    channel->update |= UPDATE_FREQUENCY;
}

// FT2 picks the arpeggio's note from its tick counter, which runs down from the speed: at
// speed 6 the ticks play base, y, x, base, y, x. Its 16-entry table is followed in memory by
// the vibrato sine, so counters 16..31 (speeds above 16) read that: base at 16, y above.
int32_t ft2_arpeggio_step(int32_t counter)
{
    counter &= 31;
    if (counter < 16) return counter % 3;
    return counter == 16 ? 0 : 2;
}

void ft2_arpeggio(const Song* song, Channel* channel, uint8_t parameter)
{
    const int32_t t = pass_tick(song);
    const int32_t counter = t == 0 ? song->speed : song->speed - t;
    const int32_t step = ft2_arpeggio_step(counter);
    if (step == 0) {
        channel->out_period = channel->period;
    } else {
        const int32_t semitones = step == 1 ? parameter >> 4 : parameter & 15;
        channel->out_period =
            ft2_snap_period(channel->period, semitones, channel->finetune, linear_table(song));
    }
    channel->update |= UPDATE_FREQUENCY;
}

// FT2's tremor, later ticks only: x + 1 ticks on, y + 1 off, counted in tremor_position and
// kept across rows; a tremor that ends muted leaves the channel muted (trace ft2_tremor_reset).
void ft2_tremor(Channel* channel, uint8_t parameter)
{
    if (parameter == 0) parameter = channel->tremor_memory;
    channel->tremor_memory = parameter;
    uint8_t on = channel->tremor_position & TREMOR_ON;
    int32_t count = (channel->tremor_position & TREMOR_TICKS) - 1;
    if (count < 0) {
        if (on != 0) {
            on = 0;
            count = parameter & 15;
        } else {
            on = TREMOR_ON;
            count = parameter >> 4;
        }
    }
    channel->tremor_position = static_cast<uint8_t>(on | count);
    channel->out_volume = on != 0 ? channel->volume : 0;
    channel->update |= UPDATE_VOLUME;
}

// Rxy's volume change x applied to `volume`, within 0..64. FT2 takes 11/16 and 3/2 by shifts;
// the show's engine divides (2/3, 3/2).
int32_t retrigger_volume(int32_t volume, uint8_t mode, bool ft2)
{
    switch (mode) {
    case 1:
        volume -= 1;
        break;
    case 2:
        volume -= 2;
        break;
    case 3:
        volume -= 4;
        break;
    case 4:
        volume -= 8;
        break;
    case 5:
        volume -= 16;
        break;
    case 6:
        volume = ft2 ? (volume >> 1) + (volume >> 3) + (volume >> 4) : volume * 2 / 3;
        break;
    case 7:
        volume >>= 1;
        break;
    case 9:
        volume += 1;
        break;
    case 10:
        volume += 2;
        break;
    case 11:
        volume += 4;
        break;
    case 12:
        volume += 8;
        break;
    case 13:
        volume += 16;
        break;
    case 14:
        volume = ft2 ? (volume >> 1) + volume : volume * 3 / 2;
        break;
    case 15:
        volume *= 2;
        break;
    default:
        break;  // 0 and 8 leave it
    }
    return std::clamp(volume, 0, 64);
}

// FT2's multi-retrigger step: a counter to the interval, then the volume change, the volume
// column's set volume or panning again, and the note from its start (envelopes run on).
void ft2_retrigger_step(Song* song, Channel* channel)
{
    const int32_t count = channel->retrig_count + 1;
    if (count < channel->retrig_interval) {
        channel->retrig_count = static_cast<uint8_t>(count);
        return;
    }
    channel->retrig_count = 0;
    set_volume(channel, retrigger_volume(channel->volume, channel->retrig_mode, true));
    const uint8_t byte = channel->volume_byte;
    if (byte >= 0x10 && byte <= 0x50) set_volume(channel, byte - 16);
    if (byte >= 0xC0 && byte <= 0xCF) {
        channel->panning = (byte & 15) << 4;
        channel->update |= UPDATE_PANNING;
    }
    note_trigger(song, channel, 0, 0, 0);
}

// FT2's note delay on its tick: the row's note, from its own instrument number, defaults only
// with one, and the volume column's set volume or panning again (traces ft2_delay_*).
void ft2_delayed_note(Song* song, Channel* channel)
{
    note_trigger(song, channel, channel->saved_note, 0, 0);
    if (channel->saved_instrument != 0) restore_defaults(channel);
    instrument_restart(song, channel);
    const uint8_t byte = channel->volume_byte;
    if (byte >= 0x10 && byte <= 0x50) {
        set_volume(channel, byte - 16);
    } else if (byte >= 0xC0 && byte <= 0xCF && channel->saved_note != NOTE_KEY_OFF) {
        // A delayed key-off keeps its panning (trace ft2_delay_volume_column, row 0E).
        channel->panning = (byte & 15) << 4;
        channel->update |= UPDATE_PANNING;
    }
}

// Axy, 5xy and 6xy on later ticks: up by the high nibble, else down by the low one.
void volume_slide(Channel* channel)
{
    const int32_t up = channel->volslide_memory >> 4;
    const int32_t down = channel->volslide_memory & 15;
    if (up != 0) {
        channel->volume = raise(channel->volume, up, 64);
    } else if (down != 0) {
        channel->volume = lower(channel->volume, down);
    }
    channel->update |= UPDATE_VOLUME;
}

// Both tables go up n semitones: the linear one by a positive offset, the Amiga one by the
// (negative) difference of two periods with the cell sample's finetune.
int32_t arpeggio_offset(const Song* song, const Channel* channel, const Sample* sample,
                        int32_t semitones)
{
    if (linear_table(song)) return semitones * 64;
    return amiga_period(channel->real_note + semitones, sample->finetune) -
           amiga_period(channel->real_note, sample->finetune);
}

void multi_retrigger_volume(Channel* channel)
{
    if (channel->retrig_mode == 0) return;
    channel->volume = retrigger_volume(channel->volume, channel->retrig_mode, false);
    channel->update |= UPDATE_VOLUME;
}

// Lxx: puts the volume envelope at tick `position`, between the points around it.
void set_envelope_position(Channel* channel, const Instrument* instrument, uint32_t position)
{
    const EnvelopeShape envelope = volume_envelope(instrument);
    const EnvelopePoint* points = envelope.points;
    const int32_t last = envelope.count - 1;
    int32_t j = 0;
    while (j < last && position > points[j + 1].tick) ++j;
    if (j == last) {
        channel->venv_value = points[last].value;
        channel->venv_done = 1;
        return;
    }
    // count may be 0 or 1 here only for an envelope that is off; the table has 12 points.
    const EnvelopePoint& from = points[j];
    const EnvelopePoint& to = points[j + 1];
    const int64_t ticks = static_cast<int64_t>(to.tick) - from.tick;
    const int32_t step =
        ticks == 0
            ? 0
            : static_cast<int32_t>((static_cast<int64_t>(to.value) - from.value) * 65536 / ticks);
    channel->venv_done = 0;
    channel->venv_tick = position;
    channel->venv_step = step;
    channel->venv_pos = static_cast<int32_t>(static_cast<int64_t>(from.value) * 65536 +
                                             (static_cast<int64_t>(position) - from.tick) * step);
    channel->venv_point = j + 1;
    channel->venv_value = channel->venv_pos >> 16;
}

void extended_row(Song* song, Channel* channel, uint8_t command, uint8_t y, Sample* sample,
                  RowState* row)
{
    const bool ft2_rules = ft2(song);
    switch (command) {
    case EXTENDED_FINE_PORTA_UP:
        // FT2 remembers y and keeps the period above 0; the show slides by y as it stands.
        if (ft2_rules) {
            if (y == 0) y = channel->fine_up_memory;
            channel->fine_up_memory = y;
            ft2_slide_period(channel, -y * 4);
            break;
        }
        channel->period -= y * 4;
        break;
    case EXTENDED_FINE_PORTA_DOWN:
        if (ft2_rules) {
            if (y == 0) y = channel->fine_down_memory;
            channel->fine_down_memory = y;
            ft2_slide_period(channel, y * 4);
            break;
        }
        channel->period += y * 4;
        break;
    case EXTENDED_GLISSANDO:  // only FT2 has it
        if (ft2_rules) channel->glissando = y != 0;
        break;
    case EXTENDED_VIBRATO_CONTROL:
        channel->wave_control = static_cast<uint8_t>((channel->wave_control & 0xF0) | y);
        break;
    case EXTENDED_TREMOLO_CONTROL:  // only FT2 has the tremolo
        if (ft2_rules)
            channel->wave_control = static_cast<uint8_t>((channel->wave_control & 0x0F) | (y << 4));
        break;
    case EXTENDED_SET_FINETUNE:
        // FT2 gives the finetune to this channel's note of the same row (note_trigger); the
        // show changes the loaded sample for every channel that plays it. The shared stand-in
        // for missing samples stays all zero.
        if (ft2_rules) break;
        if (sample != &empty_sample) sample->finetune = static_cast<int8_t>(y);
        break;
    case EXTENDED_PATTERN_LOOP:
        if (y == 0) {
            channel->loop_row = song->row;
        } else {
            channel->loop_count = channel->loop_count == 0 ? y : channel->loop_count - 1;
            if (channel->loop_count != 0) row->loop_target = channel->loop_row;
        }
        break;
    case EXTENDED_SET_PANNING_COARSE:
        if (ft2_rules) break;  // FT2 has no E8y
        channel->panning = y * 16;
        channel->update |= UPDATE_PANNING;
        break;
    case EXTENDED_FINE_VOLUME_UP:
        // FT2 keeps one memory for EAy and one for EBy; the show shares one.
        if (ft2_rules) {
            if (y == 0) y = channel->fine_volume_up_memory;
            channel->fine_volume_up_memory = y;
            set_volume(channel, raise(channel->volume, y, 64));
            break;
        }
        if (y != 0) channel->fine_volslide_memory = y;
        channel->volume = raise(channel->volume, channel->fine_volslide_memory, 64);
        channel->update |= UPDATE_VOLUME;
        break;
    case EXTENDED_FINE_VOLUME_DOWN:
        if (ft2_rules) {
            if (y == 0) y = channel->fine_volume_down_memory;
            channel->fine_volume_down_memory = y;
            set_volume(channel, lower(channel->volume, y));
            break;
        }
        if (y != 0) channel->fine_volslide_memory = y;
        channel->volume = lower(channel->volume, channel->fine_volslide_memory);
        channel->update |= UPDATE_VOLUME;
        break;
    case EXTENDED_NOTE_CUT:
        // FT2 cuts at once with EC0; the show cuts on tick y, so never with EC0.
        if (ft2_rules && y == 0) set_volume(channel, 0);
        break;
    case EXTENDED_NOTE_DELAY:
        // FT2 has left the row alone already (read_cell), and ED0 is an ordinary row.
        if (ft2_rules) break;
        // The note waits for tick y: until then the voice hears nothing of this row.
        channel->volume = row->kept_volume;
        channel->period = row->kept_period;
        channel->panning = row->kept_panning;
        channel->update &= static_cast<uint8_t>(~UPDATE_NOTE);
        break;
    case EXTENDED_PATTERN_DELAY:
        song->pattern_delay = y * song->speed;
        break;
    default:
        break;  // E0y, E3y, E7y, EFy, and the later-tick ones
    }
}

void extended_tick(Song* song, Channel* channel, const Cell& cell, uint8_t command, uint8_t y,
                   Sample* sample)
{
    if (ft2(song)) {
        // FT2 counts within the pass, so these fire once in every pass of a pattern delay.
        const int32_t t = pass_tick(song);
        if (command == EXTENDED_RETRIGGER && y != 0 && t % y == 0) {
            note_trigger(song, channel, 0, 0, 0);
            instrument_restart(song, channel);
        } else if (command == EXTENDED_NOTE_CUT && t == y) {
            set_volume(channel, 0);
        } else if (command == EXTENDED_NOTE_DELAY && t == y) {
            ft2_delayed_note(song, channel);
        }
        return;
    }
    switch (command) {
    case EXTENDED_RETRIGGER:
        if (y != 0 && song->tick % y == 0) {
            channel->update |= UPDATE_TRIGGER | UPDATE_VOLUME | UPDATE_FREQUENCY;
        }
        break;
    case EXTENDED_NOTE_CUT:
        if (song->tick == y) {
            channel->volume = 0;
            channel->update |= UPDATE_VOLUME;
        }
        break;
    case EXTENDED_NOTE_DELAY:
        if (song->tick == y) {
            channel_reset(channel, sample);
            channel->period = channel->note_period;
            channel->update |= UPDATE_FREQUENCY;
            if (cell.volume != 0) volume_column(song, channel, cell.volume);
            channel->update |= UPDATE_TRIGGER;
        } else {
            channel->update &= static_cast<uint8_t>(~UPDATE_NOTE);
        }
        break;
    default:
        break;
    }
}

}  // namespace

void volume_column(Song* song, Channel* channel, uint8_t volume_byte)
{
    const bool ft2_rules = ft2(song);
    const int32_t y = volume_byte & 15;
    // FT2 slides volume (6y, 7y) and panning (Dy, Ey), sets the vibrato depth (By) and moves
    // the tone portamento (Fy) on later ticks only (trace ft2_note_range); the show also on the
    // first.
    const uint8_t command = volume_byte >> 4;
    if (ft2_rules && (command == 0x6 || command == 0x7 || command == 0xB || command >= 0xD)) return;
    switch (command) {
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
        set_volume(channel, volume_byte - 16);
        break;
    case 0x5:
        // 0x50 is volume 64; FT2 reads 0x51..0x5F as 64 too, for the show they are not commands.
        if (y == 0 || ft2_rules) set_volume(channel, 64);
        break;
    case 0x6:
    case 0x8:
        set_volume(channel, lower(channel->volume, y));
        break;
    case 0x7:
    case 0x9:
        set_volume(channel, raise(channel->volume, y, 64));
        break;
    case 0xA:
        // FT2 keeps the speed four times finer and ignores 0.
        if (ft2_rules) {
            if (y != 0) channel->vib_speed = static_cast<uint8_t>(y * 4);
            break;
        }
        channel->vib_speed = static_cast<uint8_t>(y);
        break;
    case 0xB:
        channel->vib_depth = static_cast<uint8_t>(y);
        break;
    case 0xC:
        channel->panning = y * 16;
        channel->update |= UPDATE_PANNING;
        break;
    case 0xD:
        channel->panning = lower(channel->panning, y);
        channel->update |= UPDATE_PANNING;
        break;
    case 0xE:
        channel->panning = raise(channel->panning, y, 255);
        channel->update |= UPDATE_PANNING;
        break;
    case 0xF:
        if (y != 0) channel->porta_speed = static_cast<uint8_t>(y * 16);
        channel->porta_target = channel->note_period;
        channel->update &= static_cast<uint8_t>(~UPDATE_TRIGGER);
        break;
    default:
        break;  // 0x01..0x0F
    }
}

void volume_column_tick(Song* song, Channel* channel, uint8_t volume_byte)
{
    const int32_t y = volume_byte & 15;
    if (ft2(song)) {
        switch (volume_byte >> 4) {
        case 0x6:
            set_volume(channel, lower(channel->volume, y));
            return;
        case 0x7:
            set_volume(channel, raise(channel->volume, y, 64));
            return;
        case 0xB:
            if (y != 0) channel->vib_depth = static_cast<uint8_t>(y);
            ft2_vibrato(channel);
            return;
        case 0xD:
            // FT2 reads D0 as "all the way left".
            channel->panning = y == 0 ? 0 : lower(channel->panning, y);
            channel->update |= UPDATE_PANNING;
            return;
        case 0xF:
            ft2_porta_step(song, channel);
            return;
        default:
            break;  // E0..EF as the show
        }
    }
    switch (volume_byte >> 4) {
    case 0x6:
        channel->volume = lower(channel->volume, y);
        channel->update |= UPDATE_VOLUME;
        break;
    case 0x7:
        channel->volume = raise(channel->volume, y, 64);
        channel->update |= UPDATE_VOLUME;
        break;
    case 0xB:
        channel->vib_depth = static_cast<uint8_t>(y);
        vibrato_step(channel);
        vibrato_advance(channel);
        break;
    case 0xD:
        channel->panning = lower(channel->panning, y);
        channel->update |= UPDATE_PANNING;
        break;
    case 0xE:
        channel->panning = raise(channel->panning, y, 255);
        channel->update |= UPDATE_PANNING;
        break;
    case 0xF:
        tone_porta_step(channel);
        break;
    default:
        break;  // set volume, fine slides, vibrato speed and set panning act on tick 0 only
    }
}

void effect_row(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                Sample* sample, RowState* row)
{
    const uint8_t xy = cell.parameter;
    const uint8_t x = xy >> 4;
    const uint8_t y = xy & 15;
    if (ft2(song)) {
        // What FT2 does on a row's first tick beyond the show's engine, or instead of it. Its
        // slides, vibratos, tremolo, tremor and key-off (Kxx, xx > 0) wait for the later
        // ticks, tone portamento and 9xx were handled with the note (read_cell), and no
        // effect runs on a row whose note waits for EDy.
        switch (cell.effect) {
        case EFFECT_PORTA_UP:
        case EFFECT_PORTA_DOWN:
        case EFFECT_TONE_PORTA:
        case EFFECT_VIBRATO:
        case EFFECT_TONE_PORTA_VOLSLIDE:
        case EFFECT_VIBRATO_VOLSLIDE:
        case EFFECT_SAMPLE_OFFSET:
        case EFFECT_VOLUME_SLIDE:
        case EFFECT_GLOBAL_VOLUME_SLIDE:
        case EFFECT_KEY_OFF:
        case EFFECT_PANNING_SLIDE:
        case EFFECT_TREMOR:
            return;
        case EFFECT_SET_VOLUME:
            set_volume(channel, std::min<int32_t>(xy, 64));  // the show keeps louder values
            return;
        case EFFECT_SPEED_TEMPO:
            if (xy == 0) {
                // F00 holds FT2 on its row for ever: the song ends there, and plays on at
                // the old speed only when asked to go past its end.
                song->song_looped = 1;
                return;
            }
            break;
        case EFFECT_ENVELOPE_POSITION:
            ft2_set_envelope_position(channel, instrument, xy);
            return;
        case EFFECT_MULTI_RETRIGGER:
            if (y != 0) channel->retrig_interval = y;
            if (x != 0) channel->retrig_mode = x;
            if (channel->volume_byte == 0) ft2_retrigger_step(song, channel);
            return;
        case EFFECT_EXTRA_FINE_PORTA:
            if (x == 1) {
                if (y != 0) channel->xfine_up_memory = y;
                ft2_slide_period(channel, -channel->xfine_up_memory);
            } else if (x == 2) {
                if (y != 0) channel->xfine_down_memory = y;
                ft2_slide_period(channel, channel->xfine_down_memory);
            }
            return;
        default:
            break;  // as the show's engine
        }
    }
    switch (cell.effect) {
    case EFFECT_PORTA_UP:
        if (xy != 0) channel->porta_up_memory = xy;
        break;
    case EFFECT_PORTA_DOWN:
        if (xy != 0) channel->porta_down_memory = xy;
        break;
    case EFFECT_TONE_PORTA:
        if (xy != 0) channel->porta_speed = xy;
        channel->porta_target = channel->note_period;
        channel->update &= static_cast<uint8_t>(~(UPDATE_TRIGGER | UPDATE_FREQUENCY));
        break;
    case EFFECT_VIBRATO:
        if (x != 0) channel->vib_speed = x;
        if (y != 0) channel->vib_depth = y;
        vibrato_step(channel);  // the phase moves on later ticks only
        break;
    case EFFECT_TONE_PORTA_VOLSLIDE:
        channel->porta_target = channel->note_period;
        if (xy != 0) channel->volslide_memory = xy;
        channel->update &= static_cast<uint8_t>(~(UPDATE_TRIGGER | UPDATE_FREQUENCY));
        break;
    case EFFECT_VIBRATO_VOLSLIDE:
        if (xy != 0) channel->volslide_memory = xy;
        vibrato_step(channel);
        break;
    case EFFECT_SET_PANNING:
        channel->panning = xy;
        channel->update |= UPDATE_PANNING;
        break;
    case EFFECT_SAMPLE_OFFSET: {
        if (xy != 0) channel->offset_memory = xy;
        const uint32_t offset = static_cast<uint32_t>(channel->offset_memory) * 256;
        const uint64_t end = static_cast<uint64_t>(sample->loop_start) + sample->loop_length;
        if (offset < end) {
            // Also without a note: the voice's next trigger starts there.
            if (channel->voice != nullptr) channel->voice->start_offset = offset;
        } else {
            channel->update &= static_cast<uint8_t>(~UPDATE_TRIGGER);
            channel->update |= UPDATE_STOP;
        }
        break;
    }
    case EFFECT_VOLUME_SLIDE:
        if (xy != 0) channel->volslide_memory = xy;
        break;
    case EFFECT_POSITION_JUMP:
        song->next_row = 0;
        song->next_order = xy < song->song_length ? xy : 0;
        row->jump_seen = true;
        break;
    case EFFECT_SET_VOLUME:
        // Not limited to 64: the voice volume is clamped at commit instead.
        channel->volume = xy;
        channel->update |= UPDATE_VOLUME;
        break;
    case EFFECT_PATTERN_BREAK: {
        const int32_t target = x * 10 + y;
        song->next_row = target > 63 ? 0 : target;
        if (!row->jump_seen) song->next_order = song->order + 1;
        if (song->next_order >= song->song_length) song->next_order = 0;
        break;
    }
    case EFFECT_EXTENDED:
        extended_row(song, channel, x, y, sample, row);
        break;
    case EFFECT_SPEED_TEMPO:
        if (xy >= 32) {
            song_set_bpm(song, xy);
        } else {
            song->speed = xy;  // 0 plays a row every tick
        }
        break;
    case EFFECT_GLOBAL_VOLUME:
        song->global_volume = std::min<int32_t>(xy, 64);
        channel->update |= UPDATE_VOLUME;
        break;
    case EFFECT_GLOBAL_VOLUME_SLIDE:
        if (xy != 0) song->global_volslide_memory = xy;
        break;
    case EFFECT_KEY_OFF:
        channel->key_off = 1;
        break;
    case EFFECT_ENVELOPE_POSITION:
        if ((instrument->volume_type & ENVELOPE_ON) != 0)
            set_envelope_position(channel, instrument, xy);
        break;
    case EFFECT_PANNING_SLIDE:
        if (xy != 0) {
            channel->panslide_memory = xy;
            channel->update |= UPDATE_PANNING;
        }
        break;
    case EFFECT_MULTI_RETRIGGER:
        if (xy != 0) {
            channel->retrig_mode = x;
            channel->retrig_interval = y;
        }
        break;
    case EFFECT_TREMOR:
        if (xy != 0) {
            channel->tremor_on = static_cast<uint8_t>(x + 1);
            channel->tremor_off = static_cast<uint8_t>(y + 1);
        }
        tremor_step(channel);
        break;
    case EFFECT_EXTRA_FINE_PORTA:
        if (x == 1) {
            if (y != 0) channel->xfine_up_memory = y;
            channel->period -= channel->xfine_up_memory;
        } else if (x == 2) {
            if (y != 0) channel->xfine_down_memory = y;
            channel->period += channel->xfine_down_memory;
        }
        break;
    default:
        break;  // arpeggio and tremolo do nothing on tick 0; unknown types are ignored
    }
}

// FT2's later ticks, where its effects differ from the show's engine's: memories are written
// here rather than on the first tick, the slides keep their own limits, and tremolo, Kxx and
// Hxy per channel exist. Exy goes on to extended_tick.
void ft2_effect_tick(Song* song, Channel* channel, const Cell& cell)
{
    uint8_t xy = cell.parameter;
    if (cell.effect == EFFECT_ARPEGGIO && xy == 0) return;
    switch (cell.effect) {
    case EFFECT_ARPEGGIO:
        ft2_arpeggio(song, channel, xy);
        break;
    case EFFECT_PORTA_UP:
        if (xy != 0) channel->porta_up_memory = xy;
        ft2_slide_period(channel, -channel->porta_up_memory * 4);
        break;
    case EFFECT_PORTA_DOWN:
        if (xy != 0) channel->porta_down_memory = xy;
        ft2_slide_period(channel, channel->porta_down_memory * 4);
        break;
    case EFFECT_TONE_PORTA:
        ft2_porta_step(song, channel);
        break;
    case EFFECT_VIBRATO:
        if ((xy >> 4) != 0) channel->vib_speed = static_cast<uint8_t>((xy >> 4) * 4);
        if ((xy & 15) != 0) channel->vib_depth = xy & 15;
        ft2_vibrato(channel);
        break;
    case EFFECT_TONE_PORTA_VOLSLIDE:
        ft2_porta_step(song, channel);
        ft2_volume_slide(channel, xy);
        break;
    case EFFECT_VIBRATO_VOLSLIDE:
        ft2_vibrato(channel);
        ft2_volume_slide(channel, xy);
        break;
    case EFFECT_TREMOLO:
        if (xy != 0) {
            if ((xy & 15) != 0) channel->trem_depth = xy & 15;
            if ((xy >> 4) != 0) channel->trem_speed = static_cast<uint8_t>((xy >> 4) * 4);
        }
        ft2_tremolo(channel);
        break;
    case EFFECT_VOLUME_SLIDE:
        ft2_volume_slide(channel, xy);
        break;
    case EFFECT_GLOBAL_VOLUME_SLIDE:
        if (xy == 0) xy = channel->global_volslide_memory;
        channel->global_volslide_memory = xy;
        song->global_volume = (xy >> 4) != 0 ? raise(song->global_volume, xy >> 4, 64)
                                             : lower(song->global_volume, xy & 15);
        break;
    case EFFECT_KEY_OFF:
        if (pass_tick(song) == (xy & 31)) release_key(song, channel);
        break;
    case EFFECT_PANNING_SLIDE:
        if (xy == 0) xy = channel->panslide_memory;
        channel->panslide_memory = xy;
        channel->panning = (xy >> 4) != 0 ? raise(channel->panning, xy >> 4, 255)
                                          : lower(channel->panning, xy & 15);
        channel->update |= UPDATE_PANNING;
        break;
    case EFFECT_MULTI_RETRIGGER:
        ft2_retrigger_step(song, channel);
        break;
    case EFFECT_TREMOR:
        ft2_tremor(channel, xy);
        break;
    default:
        break;
    }
}

void effect_tick(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                 Sample* sample)
{
    (void)instrument;
    const uint8_t xy = cell.parameter;
    if (ft2(song)) {
        ft2_effect_tick(song, channel, cell);
        if (cell.effect != EFFECT_EXTENDED) return;
    }
    switch (cell.effect) {
    case EFFECT_ARPEGGIO:
        if (xy != 0) {
            const int32_t phase = song->tick % 3;
            const int32_t semitones = phase == 0 ? 0 : phase == 1 ? xy >> 4 : xy & 15;
            channel->period_offset =
                semitones == 0 ? 0 : arpeggio_offset(song, channel, sample, semitones);
            channel->update |= UPDATE_FREQUENCY;
        }
        break;
    case EFFECT_PORTA_UP:
        channel->period =
            std::max(channel->period - channel->porta_up_memory * 4, MIN_PORTA_UP_PERIOD);
        channel->period_offset = 0;
        channel->update |= UPDATE_FREQUENCY;
        break;
    case EFFECT_PORTA_DOWN:
        channel->period += channel->porta_down_memory * 4;
        channel->period_offset = 0;
        channel->update |= UPDATE_FREQUENCY;
        break;
    case EFFECT_TONE_PORTA:
        channel->period_offset = 0;
        tone_porta_step(channel);
        break;
    case EFFECT_VIBRATO:
        vibrato_step(channel);
        vibrato_advance(channel);
        break;
    case EFFECT_TONE_PORTA_VOLSLIDE:
        channel->period_offset = 0;
        tone_porta_step(channel);
        volume_slide(channel);
        break;
    case EFFECT_VIBRATO_VOLSLIDE:
        vibrato_step(channel);
        vibrato_advance(channel);
        volume_slide(channel);
        break;
    case EFFECT_VOLUME_SLIDE:
        volume_slide(channel);
        break;
    case EFFECT_EXTENDED:
        extended_tick(song, channel, cell, xy >> 4, xy & 15, sample);
        break;
    case EFFECT_GLOBAL_VOLUME_SLIDE: {
        const int32_t up = song->global_volslide_memory >> 4;
        const int32_t down = song->global_volslide_memory & 15;
        if (up != 0) {
            song->global_volume = raise(song->global_volume, up, 64);
        } else if (down != 0) {
            song->global_volume = lower(song->global_volume, down);
        }
        break;  // the channels hear it when their volume is next recomputed
    }
    case EFFECT_PANNING_SLIDE: {
        const int32_t right = channel->panslide_memory >> 4;
        const int32_t left = channel->panslide_memory & 15;
        if (right != 0) {
            channel->panning = raise(channel->panning, right, 255);
        } else if (left != 0) {
            channel->panning = lower(channel->panning, left);
        }
        channel->update |= UPDATE_PANNING;
        break;
    }
    case EFFECT_MULTI_RETRIGGER:
        if (channel->retrig_interval != 0 && song->tick % channel->retrig_interval == 0) {
            multi_retrigger_volume(channel);
            channel->update |= UPDATE_TRIGGER;
        }
        break;
    case EFFECT_TREMOR:
        tremor_step(channel);
        break;
    default:
        break;
    }
}

void tone_porta_step(Channel* channel)
{
    const int32_t speed = channel->porta_speed * 4;
    if (channel->period < channel->porta_target) {
        channel->period = std::min(channel->period + speed, channel->porta_target);
    } else if (channel->period > channel->porta_target) {
        channel->period = std::max(channel->period - speed, channel->porta_target);
    }
    channel->update |= UPDATE_FREQUENCY;
}

void tremor_step(Channel* channel)
{
    if (channel->tremor_count >= channel->tremor_on) channel->volume_offset = -channel->volume;
    channel->tremor_count = static_cast<uint8_t>(channel->tremor_count + 1);
    if (channel->tremor_count >= channel->tremor_on + channel->tremor_off) {
        channel->tremor_count = 0;
    }
    channel->update |= UPDATE_VOLUME;
}

}  // namespace player
