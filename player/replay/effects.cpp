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
    int32_t volume = channel->volume;
    switch (channel->retrig_mode) {
    case 0:
        return;
    case 1: volume -= 1; break;
    case 2: volume -= 2; break;
    case 3: volume -= 4; break;
    case 4: volume -= 8; break;
    case 5: volume -= 16; break;
    case 6: volume = volume * 2 / 3; break;
    case 7: volume >>= 1; break;
    case 8: break;
    case 9: volume += 1; break;
    case 10: volume += 2; break;
    case 11: volume += 4; break;
    case 12: volume += 8; break;
    case 13: volume += 16; break;
    case 14: volume = volume * 3 / 2; break;
    default: volume *= 2; break;
    }
    channel->volume = std::clamp(volume, 0, 64);
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
        ticks == 0 ? 0
                   : static_cast<int32_t>((static_cast<int64_t>(to.value) - from.value) * 65536 /
                                          ticks);
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
    switch (command) {
    case EXTENDED_FINE_PORTA_UP:
        channel->period -= y * 4;
        break;
    case EXTENDED_FINE_PORTA_DOWN:
        channel->period += y * 4;
        break;
    case EXTENDED_VIBRATO_CONTROL:
        channel->wave_control = static_cast<uint8_t>((channel->wave_control & 0xF0) | y);
        break;
    case EXTENDED_SET_FINETUNE:
        // Changes the loaded sample for every channel that plays it. The shared stand-in for
        // missing samples stays all zero.
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
        channel->panning = y * 16;
        channel->update |= UPDATE_PANNING;
        break;
    case EXTENDED_FINE_VOLUME_UP:
        if (y != 0) channel->fine_volslide_memory = y;
        channel->volume = raise(channel->volume, channel->fine_volslide_memory, 64);
        channel->update |= UPDATE_VOLUME;
        break;
    case EXTENDED_FINE_VOLUME_DOWN:
        if (y != 0) channel->fine_volslide_memory = y;
        channel->volume = lower(channel->volume, channel->fine_volslide_memory);
        channel->update |= UPDATE_VOLUME;
        break;
    case EXTENDED_NOTE_DELAY:
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
            if (cell.volume != 0) volume_column(channel, cell.volume);
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

void volume_column(Channel* channel, uint8_t volume_byte)
{
    const int32_t y = volume_byte & 15;
    switch (volume_byte >> 4) {
    case 0x1: case 0x2: case 0x3: case 0x4:
        channel->volume = volume_byte - 16;
        channel->update |= UPDATE_VOLUME;
        break;
    case 0x5:
        // 0x50 is volume 64; 0x51..0x5F are not commands.
        if (y == 0) {
            channel->volume = 64;
            channel->update |= UPDATE_VOLUME;
        }
        break;
    case 0x6: case 0x8:
        channel->volume = lower(channel->volume, y);
        channel->update |= UPDATE_VOLUME;
        break;
    case 0x7: case 0x9:
        channel->volume = raise(channel->volume, y, 64);
        channel->update |= UPDATE_VOLUME;
        break;
    case 0xA:
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

void volume_column_tick(Channel* channel, uint8_t volume_byte)
{
    const int32_t y = volume_byte & 15;
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
        if ((instrument->volume_type & ENVELOPE_ON) != 0) set_envelope_position(channel, instrument, xy);
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

void effect_tick(Song* song, Channel* channel, const Cell& cell, const Instrument* instrument,
                 Sample* sample)
{
    (void)instrument;
    const uint8_t xy = cell.parameter;
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
