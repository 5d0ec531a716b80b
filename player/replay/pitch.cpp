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
            instrument->volume_sustain, instrument->volume_loop_start,
            instrument->volume_loop_end, instrument->volume_type};
}

EnvelopeShape panning_envelope(const Instrument* instrument)
{
    return {instrument->panning_envelope, std::min<int32_t>(instrument->panning_points, 12),
            instrument->panning_sustain, instrument->panning_loop_start,
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
        if ((envelope.type & ENVELOPE_SUSTAIN) != 0 && at == envelope.sustain && channel->key_off == 0) {
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
