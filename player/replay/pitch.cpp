// pitch.cpp -- periods, frequencies, the voice setters, envelopes and vibratos

#include "player/replay/pitch.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "player/mixer/mixer.h"

namespace player {

namespace {

// Notes reach the Amiga table as real_note (0..255) plus an arpeggio of up to 15 semitones,
// and the finetune looks one note further; past the end the periods are 0 anyway.
constexpr int32_t AMIGA_NOTES = 272;

// A(k) = trunc(13.375 * 2^((132 - k) / 12)): A(48) = 1712, A(96) = 107.
const std::array<int32_t, AMIGA_NOTES>& amiga_table()
{
    static const std::array<int32_t, AMIGA_NOTES> table = [] {
        std::array<int32_t, AMIGA_NOTES> t{};
        for (int32_t k = 0; k < AMIGA_NOTES; ++k) {
            t[static_cast<size_t>(k)] =
                static_cast<int32_t>(13.375 * std::exp2(static_cast<double>(132 - k) / 12.0));
        }
        return t;
    }();
    return table;
}

int32_t amiga_base(int32_t note)
{
    return amiga_table()[static_cast<size_t>(std::clamp(note, 0, AMIGA_NOTES - 1))];
}

// 1/768 as a single-precision constant: 768 period units are one octave.
constexpr double LINEAR_OCTAVE = static_cast<double>(0.0013020834f);
// One effect-vibrato cycle spans the 64 phases -32..31.
constexpr double VIBRATO_STEP = 2 * 0.049087375;
// One auto-vibrato cycle spans 256 phases; just under 2 pi / 256, so the peak truncates to 63.
constexpr double AUTO_VIBRATO_STEP = 0.0245436875;

constexpr int32_t MIN_HZ = 100;
constexpr int32_t MAX_HZ = 705600;  // 16 frames a step at 44100 Hz
constexpr uint64_t MAX_STEP = uint64_t{16} << 32;

// The sines are tabulated once with the same double arithmetic, so a tick costs no sine.
// |sin| * 256 truncated for the effect vibrato, by phase + 32 (the peak truncates to 255).
const std::array<int32_t, 64>& vibrato_sine()
{
    static const std::array<int32_t, 64> table = [] {
        std::array<int32_t, 64> t{};
        for (int32_t phase = -32; phase < 32; ++phase) {
            t[static_cast<size_t>(phase + 32)] =
                static_cast<int32_t>(std::fabs(std::sin(phase * VIBRATO_STEP)) * 256.0);
        }
        return t;
    }();
    return table;
}

// sin * 64 truncated toward zero for the auto-vibrato, by phase 0..255.
const std::array<int32_t, 256>& auto_vibrato_sine()
{
    static const std::array<int32_t, 256> table = [] {
        std::array<int32_t, 256> t{};
        for (int32_t phase = 0; phase < 256; ++phase) {
            t[static_cast<size_t>(phase)] =
                static_cast<int32_t>(std::sin(phase * AUTO_VIBRATO_STEP) * 64.0);
        }
        return t;
    }();
    return table;
}

Voice* pool_voice(int32_t voice_index)
{
    Voice* pool = voice_pool();
    if (pool == nullptr || voice_index < 0 || voice_index >= VOICE_COUNT) return nullptr;
    return &pool[voice_index];
}

// The gains are bytes: volume and panning are kept within 0..255 so the products never wrap.
// A centred panning with the envelope at 64 asks for 256 (trace envelopes).
void update_gains(Voice* voice)
{
    voice_update_gains(voice);
}

// 16.16 slope between two points; 0 for points on the same tick.
int32_t envelope_slope(const EnvelopePoint& from, const EnvelopePoint& to)
{
    const int64_t ticks = static_cast<int64_t>(to.tick) - from.tick;
    if (ticks == 0) return 0;
    const int64_t rise = (static_cast<int64_t>(to.value) - from.value) * 65536;
    return static_cast<int32_t>(rise / ticks);
}

}  // namespace

int32_t amiga_period(int32_t note, int8_t finetune)
{
    const int32_t base = amiga_base(note);
    if (finetune >= 0 || note == 0) {
        return base + ((base - amiga_base(note + 1)) * finetune) / -128;
    }
    return base + ((base - amiga_base(note - 1)) * -finetune) / -128;
}

int32_t note_to_period(int32_t note, int8_t finetune, bool linear)
{
    if (linear) return 7680 - note * 64 - finetune / 2;
    return amiga_period(note, finetune);
}

int32_t channel_frequency(int32_t period, int32_t period_offset, bool linear)
{
    if (linear) {
        // The offset counts upwards here: a positive offset raises the pitch.
        const int64_t above = 4608 - static_cast<int64_t>(period) + period_offset;
        const double exponent = static_cast<double>(above) * LINEAR_OCTAVE;
        const double hz = 8363.0 * std::exp2(exponent);
        // Slides can push the period far out; keep the conversion defined, the setter clamps.
        if (!(hz < 2147483647.0)) return INT32_MAX;
        return static_cast<int32_t>(hz);
    }
    const int64_t effective = static_cast<int64_t>(period) + period_offset;
    if (effective == 0) return 0;
    return static_cast<int32_t>(14317056 / effective);
}

void voice_set_frequency(int32_t voice_index, int32_t hz)
{
    Voice* voice = pool_voice(voice_index);
    if (voice == nullptr) return;
    voice->frequency = hz;
    const uint64_t clamped = static_cast<uint64_t>(std::clamp(hz, MIN_HZ, MAX_HZ));
    const uint64_t rate = static_cast<uint64_t>(output_rate());
    voice->step = static_cast<uint32_t>(clamped / rate);
    voice->step_frac = static_cast<uint32_t>(((clamped % rate) << 32) / rate);
}

void voice_set_volume(int32_t voice_index, int32_t volume)
{
    Voice* voice = pool_voice(voice_index);
    if (voice == nullptr) return;
    voice->volume = std::clamp(volume, 0, 255);
    update_gains(voice);
}

void voice_set_panning(int32_t voice_index, int32_t panning)
{
    Voice* voice = pool_voice(voice_index);
    if (voice == nullptr) return;
    voice->panning = std::clamp(panning, 0, 255);
    update_gains(voice);
}

EnvelopeShape volume_envelope(const Instrument* instrument)
{
    return {instrument->volume_envelope, std::min<int32_t>(instrument->volume_points, 12),
            instrument->volume_sustain,  instrument->volume_loop_start,
            instrument->volume_loop_end, instrument->volume_type};
}

EnvelopeShape panning_envelope(const Instrument* instrument)
{
    return {instrument->panning_envelope, std::min<int32_t>(instrument->panning_points, 12),
            instrument->panning_sustain,  instrument->panning_loop_start,
            instrument->panning_loop_end, instrument->panning_type};
}

EnvelopeCursor volume_cursor(Channel* channel)
{
    return {channel->venv_tick,  channel->venv_point, channel->venv_pos,
            channel->venv_value, channel->venv_step,  channel->venv_done};
}

EnvelopeCursor panning_cursor(Channel* channel)
{
    return {channel->penv_tick,  channel->penv_point, channel->penv_pos,
            channel->penv_value, channel->penv_step,  channel->penv_done};
}

void envelope_step(Channel* channel, const EnvelopeShape& envelope, EnvelopeCursor cursor,
                   uint8_t update_bit)
{
    const int32_t count = envelope.count;
    const EnvelopePoint* points = envelope.points;
    if (cursor.point >= 0 && cursor.point < count && points[cursor.point].tick == cursor.tick) {
        // The loop test comes first, so a loop ending on the last point never finishes
        // (EnvelopeTest.LoopEndingOnTheLastPointNeverFinishes). A loop start beyond the points
        // in use is ignored rather than followed out of the table.
        if ((envelope.type & ENVELOPE_LOOP) != 0 && cursor.point == envelope.loop_end &&
            envelope.loop_start < count) {
            cursor.point = envelope.loop_start;
            cursor.tick = points[cursor.point].tick;
        }
        const int32_t at = cursor.point;
        if (at == count - 1) {
            cursor.value = points[at].value;
            cursor.done = 1;
            channel->update |= update_bit;
            return;
        }
        // Held at the sustain point, without advancing, until the key is released.
        if ((envelope.type & ENVELOPE_SUSTAIN) != 0 && at == envelope.sustain &&
            channel->key_off == 0) {
            cursor.value = points[at].value;
            channel->update |= update_bit;
            return;
        }
        cursor.step = envelope_slope(points[at], points[at + 1]);
        cursor.pos = static_cast<int32_t>(static_cast<uint32_t>(points[at].value) << 16);
        cursor.point = at + 1;
    } else if (cursor.point < count) {
        // Wrapping add: a point whose tick lies behind is never reached, so a slope can run on.
        cursor.pos = static_cast<int32_t>(static_cast<uint32_t>(cursor.pos) +
                                          static_cast<uint32_t>(cursor.step));
    }
    cursor.value = cursor.pos >> 16;
    cursor.tick += 1;
    channel->update |= update_bit;
}

void vibrato_step(Channel* channel)
{
    const int32_t phase = channel->vib_phase;
    int32_t magnitude = 255;  // the two square waveforms
    switch (channel->wave_control & 3) {
    case 0:
        magnitude = vibrato_sine()[static_cast<size_t>((phase + 32) & 63)];
        break;
    case 1: {
        const int32_t ramp = (phase * 8) & 255;
        magnitude = phase < 0 ? 255 - ramp : ramp;
        break;
    }
    default:
        break;
    }
    const int32_t depth = ((magnitude * channel->vib_depth) >> 5) & ~3;
    channel->period_offset = phase >= 0 ? -depth : depth;
    channel->update |= UPDATE_FREQUENCY;
}

void vibrato_advance(Channel* channel)
{
    int32_t phase = channel->vib_phase + static_cast<int8_t>(channel->vib_speed);
    if (phase > 31) phase -= 64;
    channel->vib_phase = static_cast<int8_t>(phase);
}

void auto_vibrato_step(Channel* channel, const Instrument* instrument)
{
    const int32_t phase = channel->avib_phase;
    int32_t x = 0;
    switch (instrument->vibrato_type) {
    case 0:
        x = auto_vibrato_sine()[static_cast<size_t>(phase & 255)];
        break;
    case 1:
        x = phase < 128 ? 64 : -64;
        break;
    case 2:
        x = (128 - ((phase + 128) & 255)) >> 1;
        break;
    case 3:
        x = (128 - ((384 - phase) & 255)) >> 1;
        break;
    default:
        break;  // no waveform: no offset, the counters still run
    }
    x *= instrument->vibrato_depth;
    if (instrument->vibrato_sweep != 0) x = x * channel->avib_sweep / instrument->vibrato_sweep;
    channel->period_offset += x >> 6;

    if (channel->avib_sweep < instrument->vibrato_sweep) channel->avib_sweep += 1;
    channel->avib_phase += instrument->vibrato_rate;
    if (channel->avib_phase > 255) channel->avib_phase -= 256;
    channel->update |= UPDATE_FREQUENCY;
}

}  // namespace player

namespace player {

namespace {

// The waveform both effect vibratos and the tremolo read: 255 * sin over half a cycle.
constexpr std::array<uint8_t, 32> FT2_SINE = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                              224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                              212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

// The auto-vibrato's sine runs the other way round: round(64 * sin(-phase * 2 pi / 256)).
const std::array<int8_t, 256>& ft2_auto_vibrato_sine()
{
    static const std::array<int8_t, 256> table = [] {
        std::array<int8_t, 256> t{};
        for (int32_t phase = 0; phase < 256; ++phase) {
            t[static_cast<size_t>(phase)] = static_cast<int8_t>(
                std::lround(64.0 * std::sin(-phase * 6.283185307179586 / 256.0)));
        }
        return t;
    }();
    return table;
}

}  // namespace

namespace {

// FT2 builds its Amiga table from one octave of ProTracker periods: for each semitone from C
// up, the eight finetunes -8..-1 of the note above it, so that 16 entries span a semitone.
// The octaves above halve it, rounding halves down.
constexpr std::array<std::array<uint16_t, 8>, 12> FT2_AMIGA_OCTAVE = {{
    {907, 900, 894, 887, 881, 875, 868, 862},
    {856, 850, 844, 838, 832, 826, 820, 814},
    {808, 802, 796, 791, 785, 779, 774, 768},
    {762, 757, 752, 746, 741, 736, 730, 725},
    {720, 715, 709, 704, 699, 694, 689, 684},
    {678, 675, 670, 665, 660, 655, 651, 646},
    {640, 636, 632, 628, 623, 619, 614, 610},
    {604, 601, 597, 592, 588, 584, 580, 575},
    {570, 567, 563, 559, 555, 551, 547, 543},
    {538, 535, 532, 528, 524, 520, 516, 513},
    {508, 505, 502, 498, 494, 491, 487, 484},
    {480, 477, 474, 470, 467, 463, 460, 457},
}};
// The table's last semitone is read from past the end of FT2's octave: these bytes.
constexpr std::array<uint16_t, 8> FT2_AMIGA_OVERRUN = {16, 0, 32, 16, 0, 32, 16, 0};

// Even entries come from the octave, odd ones are the mean of their two neighbours (the last
// one has none above it and is 0).
const std::array<uint16_t, FT2_PERIODS>& ft2_amiga_table()
{
    static const std::array<uint16_t, FT2_PERIODS> table = [] {
        std::array<uint16_t, FT2_PERIODS> t{};
        constexpr int32_t SEMITONES = FT2_PERIODS / 16;  // 121
        for (int32_t semitone = 0; semitone < SEMITONES; ++semitone) {
            const int32_t octave = semitone / 12;
            for (int32_t fine = 0; fine < 8; ++fine) {
                uint32_t period = FT2_AMIGA_OVERRUN[static_cast<size_t>(fine)];
                if (semitone < SEMITONES - 1) {
                    const uint32_t base = FT2_AMIGA_OCTAVE[static_cast<size_t>(semitone % 12)]
                                                          [static_cast<size_t>(fine)] *
                                          32u;
                    const uint32_t below_half = octave > 0 ? (1u << (octave - 1)) - 1 : 0;
                    period = (base + below_half) >> octave;
                }
                t[static_cast<size_t>(semitone * 16 + fine * 2)] = static_cast<uint16_t>(period);
            }
        }
        for (int32_t i = 1; i < FT2_PERIODS - 1; i += 2) {
            t[static_cast<size_t>(i)] = static_cast<uint16_t>(
                (t[static_cast<size_t>(i - 1)] + t[static_cast<size_t>(i + 1)]) >> 1);
        }
        return t;
    }();
    return table;
}

}  // namespace

int32_t ft2_table_period(int32_t index, bool linear)
{
    index = std::clamp(index, 0, FT2_PERIODS - 1);
    if (linear) return (FT2_PERIODS - index) * 4;
    return ft2_amiga_table()[static_cast<size_t>(index)];
}

int32_t ft2_note_period(int32_t real_note, int8_t finetune, bool linear)
{
    return ft2_table_period((real_note - 1) * 16 + (finetune >> 3) + 16, linear);
}

int32_t ft2_snap_period(int32_t period, int32_t semitones, int8_t finetune, bool linear)
{
    const int32_t fine = (finetune >> 3) + 16;
    // The search spans 8 octaves where the table has 10, and the result stops at 1551: FT2's
    // own limits, which clamp arpeggios on high notes.
    int32_t low = 0;
    int32_t high = 8 * 12 * 16;
    for (int32_t i = 0; i < 8; ++i) {
        const int32_t middle = (((low + high) >> 1) & ~15) + fine;
        const int32_t probe = std::max(middle - 8, 0);
        if (period >= ft2_table_period(probe, linear)) {
            high = (middle - fine) & ~15;
        } else {
            low = (middle - fine) & ~15;
        }
    }
    int32_t index = low + fine + semitones * 16;
    if (index >= 1550) index = 1551;
    return ft2_table_period(index, linear);
}

uint64_t ft2_step(int32_t period, bool linear)
{
    period &= 0xFFFF;
    if (period == 0) return 0;
    const double frame = 4294967296.0 / output_rate();  // 1.0 in 32.32
    if (!linear) {
        // 8363 Hz at period 1712, divided in fixed point as FT2 divides.
        const uint64_t dividend = static_cast<uint64_t>(std::llround(8363.0 * 1712.0 * frame));
        return dividend / static_cast<uint32_t>(period);
    }
    // FT2 splits 9216 - period into octaves and 1/768 steps and shifts by the octave. Periods
    // above 9216 wrap in 16 bits to a huge octave, whose shift count wraps again: such notes
    // crawl at a fraction of a hertz, as they do in FT2.
    const uint32_t inverse = static_cast<uint32_t>(9216 - period) & 0xFFFF;
    const uint32_t octave = inverse / 768;
    const uint32_t step = inverse % 768;
    const uint64_t scaled = static_cast<uint64_t>(
        std::llround(8363.0 * 256.0 * std::exp2(static_cast<double>(step) / 768.0) * frame));
    return scaled >> ((14 - octave) & 31);
}

int32_t ft2_frequency(int32_t period, bool linear)
{
    return static_cast<int32_t>((ft2_step(period, linear) * static_cast<uint64_t>(output_rate())) >>
                                32);
}

void voice_set_step(int32_t voice_index, uint64_t step)
{
    Voice* voice = pool_voice(voice_index);
    if (voice == nullptr) return;
    // Periods of a few units ask for megahertz; past 16 frames a step all is noise anyway, and
    // the mixer is spared walking a short loop hundreds of times an output frame.
    step = std::min(step, MAX_STEP);
    voice->step = static_cast<uint32_t>(step >> 32);
    voice->step_frac = static_cast<uint32_t>(step);
    voice->frequency = static_cast<int32_t>(
        std::min<uint64_t>((step * static_cast<uint64_t>(output_rate())) >> 32, INT32_MAX));
}

void ft2_envelope_step(Channel* channel, const EnvelopeShape& envelope, bool volume)
{
    uint32_t& tick_field = volume ? channel->venv_tick : channel->penv_tick;
    int32_t& position = volume ? channel->venv_point : channel->penv_point;
    int16_t& value = volume ? channel->venv_fixed : channel->penv_fixed;
    int16_t& delta = volume ? channel->venv_delta : channel->penv_delta;
    const EnvelopePoint* points = envelope.points;
    const int32_t count = envelope.count;
    const bool sustain = (envelope.type & ENVELOPE_SUSTAIN) != 0;
    const bool loop = (envelope.type & ENVELOPE_LOOP) != 0;

    const uint16_t tick = static_cast<uint16_t>(tick_field + 1);
    tick_field = tick;
    position = std::clamp(position, 0, std::max(count - 1, 0));
    bool interpolated = false;
    int32_t out = value;
    if (count > 0 && tick == points[position].tick) {
        value = static_cast<int16_t>(points[position].value << 8);
        int32_t next = position + 1;
        if (loop) {
            next -= 1;
            // A loop end on the sustain point stops looping once the key is released.
            if (next == envelope.loop_end &&
                !(sustain && next == envelope.sustain && channel->key_off != 0)) {
                next = envelope.loop_start;
                tick_field = points[next].tick;
                value = static_cast<int16_t>(points[next].value << 8);
            }
            next += 1;
        }
        if (next < count) {
            if (sustain && channel->key_off == 0 && next - 1 == envelope.sustain) {
                delta = 0;  // held: the position stays
            } else {
                position = next;
                const int32_t ticks =
                    static_cast<int16_t>(points[next].tick - points[next - 1].tick);
                if (ticks > 0) {
                    const int32_t rise =
                        static_cast<int8_t>(points[next].value - points[next - 1].value);
                    delta = static_cast<int16_t>((rise * 256) / ticks);
                    out = value;
                    interpolated = true;
                } else {
                    delta = 0;
                }
            }
        } else {
            delta = 0;
        }
    }
    if (!interpolated) {
        value = static_cast<int16_t>(value + delta);
        out = value;
        const int32_t high = (out >> 8) & 0xFF;
        if (high > 64) {
            // Slid past 64 it stops at 64, below 0 (a wrapped high byte) at 0.
            out = high <= 160 ? 64 << 8 : 0;
            value = static_cast<int16_t>(out);
            delta = 0;
        }
    }
    if (volume) {
        channel->venv_value = (out >> 8) & 0xFF;
        channel->update |= UPDATE_VOLUME;
    } else {
        channel->penv_value = (out >> 8) & 0xFF;
        channel->update |= UPDATE_PANNING;
    }
}

namespace {

// Places one envelope at `position`: FT2's search, except that landing exactly on a point
// other than the sustain point counts as past it, so that a loop ending there is not taken on
// the next tick; on the sustain point the envelope holds (trace lxx_after_loop).
bool place_envelope(const EnvelopeShape& envelope, int32_t position, uint32_t& tick, int32_t& point,
                    int16_t& value, int16_t& delta)
{
    bool on_sustain = false;
    const EnvelopePoint* points = envelope.points;
    const int32_t count = envelope.count;
    tick = static_cast<uint16_t>(position - 1);
    int32_t pos = 0;
    bool set_value = true;
    int32_t k = position;
    if (count > 1) {
        pos = 1;
        for (int32_t i = 0; i < count - 1; ++i) {
            if (k < points[pos].tick) {
                pos -= 1;
                k -= points[pos].tick;
                if (k == 0 && (envelope.type & ENVELOPE_SUSTAIN) != 0 && pos == envelope.sustain) {
                    // On the sustain point: the next step reaches it and holds there.
                    set_value = false;
                    on_sustain = true;
                    break;
                }
                if (k == 0) {
                    // On point pos: its value, and the slope of the segment after it.
                    value = static_cast<int16_t>(points[pos].value << 8);
                    const int32_t ticks =
                        static_cast<int16_t>(points[pos + 1].tick - points[pos].tick);
                    const int32_t rise =
                        static_cast<int8_t>(points[pos + 1].value - points[pos].value);
                    delta = static_cast<int16_t>(ticks > 0 ? rise * 256 / ticks : 0);
                    pos += 1;
                    set_value = false;
                    break;
                }
                const int32_t ticks = static_cast<int16_t>(points[pos + 1].tick - points[pos].tick);
                if (ticks <= 0) {
                    set_value = true;
                    break;
                }
                const int32_t rise = static_cast<int8_t>(points[pos + 1].value - points[pos].value);
                delta = static_cast<int16_t>(rise * 256 / ticks);
                value = static_cast<int16_t>((points[pos].value << 8) +
                                             static_cast<int16_t>(delta * (k - 1)));
                pos += 1;
                set_value = false;
                break;
            }
            pos += 1;
        }
        if (set_value) pos -= 1;
    }
    if (set_value && count > 0) {
        delta = 0;
        value = static_cast<int16_t>(points[std::min(pos, count - 1)].value << 8);
    }
    point = std::min(pos, std::max(count - 1, 0));
    return on_sustain;
}

}  // namespace

void ft2_set_envelope_position(Channel* channel, const Instrument* instrument, int32_t position)
{
    if ((instrument->volume_type & ENVELOPE_ON) == 0) return;
    channel->venv_placed =
        place_envelope(volume_envelope(instrument), position, channel->venv_tick,
                       channel->venv_point, channel->venv_fixed, channel->venv_delta);
    // FT2 tests the volume envelope's sustain flag for the panning envelope.
    if ((instrument->volume_type & ENVELOPE_SUSTAIN) != 0) {
        place_envelope(panning_envelope(instrument), position, channel->penv_tick,
                       channel->penv_point, channel->penv_fixed, channel->penv_delta);
    }
}

void ft2_vibrato(Channel* channel)
{
    const int32_t i = (channel->vib_position >> 2) & 31;
    const bool negative = static_cast<int8_t>(channel->vib_position) < 0;
    int32_t wave = 255;
    switch (channel->wave_control & 3) {
    case 0:
        wave = FT2_SINE[static_cast<size_t>(i)];
        break;
    case 1:
        wave = i << 3;
        if (negative) wave = 255 - wave;
        break;
    default:
        break;
    }
    const int32_t depth = (wave * channel->vib_depth) >> 5;
    channel->out_period = negative ? channel->period - depth : channel->period + depth;
    channel->vib_position = static_cast<uint8_t>(channel->vib_position + channel->vib_speed);
    channel->update |= UPDATE_FREQUENCY;
}

void ft2_tremolo(Channel* channel)
{
    const int32_t i = (channel->trem_position >> 2) & 31;
    int32_t wave = 255;
    switch ((channel->wave_control >> 4) & 3) {
    case 0:
        wave = FT2_SINE[static_cast<size_t>(i)];
        break;
    case 1:
        wave = i << 3;
        // FT2 looks at the vibrato's position here, not the tremolo's.
        if (static_cast<int8_t>(channel->vib_position) < 0) wave = 255 - wave;
        break;
    default:
        break;
    }
    const int32_t depth = (wave * channel->trem_depth) >> 6;
    channel->out_volume = static_cast<int8_t>(channel->trem_position) < 0
                              ? std::max(channel->volume - depth, 0)
                              : std::min(channel->volume + depth, 64);
    channel->trem_position = static_cast<uint8_t>(channel->trem_position + channel->trem_speed);
    channel->update |= UPDATE_VOLUME;
}

void ft2_auto_vibrato(Channel* channel, const Instrument* instrument)
{
    const int32_t depth = instrument->vibrato_depth;
    if (depth == 0) {
        channel->final_period = channel->out_period;
        return;
    }
    int32_t amplitude;
    if (channel->avib_sweep > 0) {
        amplitude = channel->avib_sweep;
        // After a key-off during the sweep only the sweep step itself is used.
        if (channel->key_off == 0) {
            amplitude += channel->avib_amplitude;
            if ((amplitude >> 8) > depth) {
                amplitude = depth << 8;
                channel->avib_sweep = 0;
            }
            channel->avib_amplitude = amplitude;
        }
    } else {
        amplitude = channel->avib_amplitude;
    }
    channel->avib_phase = (channel->avib_phase + instrument->vibrato_rate) & 255;
    const int32_t phase = channel->avib_phase;
    int32_t wave;
    switch (instrument->vibrato_type) {
    case 1:
        wave = phase > 127 ? 64 : -64;
        break;
    case 2:
        wave = (((phase >> 1) + 64) & 127) - 64;
        break;
    case 3:
        wave = ((64 - (phase >> 1)) & 127) - 64;
        break;
    default:
        wave = ft2_auto_vibrato_sine()[static_cast<size_t>(phase)];
        break;
    }
    const uint16_t period = static_cast<uint16_t>(channel->out_period + ((wave * amplitude) >> 14));
    channel->final_period = period >= 32000 ? 0 : period;
    channel->update |= UPDATE_FREQUENCY;
}

}  // namespace player
