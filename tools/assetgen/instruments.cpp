// instruments.cpp -- the 27 instruments of the song, synthesised from oscillators and noise
//
// Tonal samples hold whole cycles of a note C at 33452 Hz (or half or quarter of it) so
// their loops close without a seam and their relative note puts them in tune.
#include <algorithm>

#include "player/xm.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

using xmwriter::Envelope;
using xmwriter::Instrument;
using xmwriter::Sample;

size_t frames_for(double seconds, double rate)
{
    return static_cast<size_t>(seconds * rate);
}

// Relative note for a sample whose cycle is the note C of `octave` at `rate`.
int8_t relative_note(int octave, double rate)
{
    int rel = 24 + 12 * (4 - octave);
    if (rate == HALF_RATE) rel -= 12;
    if (rate == RATE / 4.0) rel -= 24;
    return static_cast<int8_t>(rel);
}

Instrument one_sample(const char* name, Sample s)
{
    Instrument ins;
    ins.name = name;
    ins.samples.push_back(std::move(s));
    return ins;
}

double noise(Random& rng)
{
    return rng.signed_unit();
}

// --- drums -------------------------------------------------------------------------------

Instrument kick()
{
    const size_t n = frames_for(0.28, RATE);
    Signal s(n);
    Random rng(11);
    double phase = 0.0;
    Svf click;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        const double f = 46.0 + 120.0 * std::exp(-t / 0.032) + 300.0 * std::exp(-t / 0.004);
        phase += f / RATE;
        const double body =
            std::sin(TAU * phase) * std::exp(-t / 0.16) * std::min(1.0, (0.28 - t) / 0.03);
        click.run(noise(rng), 3000.0, 0.2, RATE);
        const double snap = click.high * std::exp(-t / 0.003) * 0.5;
        s[i] = std::tanh(1.8 * body + snap);
    }
    return one_sample("kick", make_sample("kick", s, true));
}

Instrument snare()
{
    const size_t n = frames_for(0.26, RATE);
    Signal s(n);
    Random rng(12);
    Svf hp, lp;
    double p1 = 0.0, p2 = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        p1 += (180.0 + 60.0 * std::exp(-t / 0.01)) / RATE;
        p2 += 330.0 / RATE;
        const double tone = (std::sin(TAU * p1) + 0.5 * std::sin(TAU * p2)) * std::exp(-t / 0.045);
        hp.run(noise(rng), 1400.0, 0.1, RATE);
        const double rattle = lp.run(hp.high, 9000.0, 0.0, RATE) * std::exp(-t / 0.085);
        s[i] = std::tanh(0.55 * tone + 1.1 * rattle);
    }
    return one_sample("snare", make_sample("snare", s, true));
}

Signal metal(double seconds, double decay, uint64_t seed)
{
    const size_t n = frames_for(seconds, RATE);
    Signal s(n);
    Random rng(seed);
    const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Svf hp1, hp2;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        double m = 0.0;
        for (double f : freqs) m += std::sin(TAU * f * 7.3 * t) > 0 ? 1.0 : -1.0;
        hp1.run(m * 0.12 + noise(rng) * 0.6, 7000.0, 0.3, RATE);
        hp2.run(hp1.high, 7000.0, 0.3, RATE);
        s[i] = hp2.high * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    return s;
}

Instrument closed_hat()
{
    Sample s = make_sample("closed hat", metal(0.08, 0.016, 13), false);
    s.panning = 192;
    return one_sample("closed hat", s);
}

Instrument open_hat()
{
    Sample s = make_sample("open hat", metal(0.30, 0.11, 14), false);
    s.panning = 64;
    return one_sample("open hat", s);
}

Instrument clap()
{
    const size_t n = frames_for(0.25, RATE);
    Signal s(n);
    Random rng(15);
    Svf bp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        bp.run(noise(rng), 1150.0, 0.55, RATE);
        double env = std::exp(-t / 0.07) * (t > 0.024 ? 1.0 : 0.0);
        for (double at : {0.0, 0.009, 0.017})
            env += (t >= at && t < at + 0.012) ? std::exp(-(t - at) / 0.004) : 0.0;
        s[i] = bp.band * env;
    }
    Sample smp = make_sample("clap", s, false);
    smp.panning = 140;
    return one_sample("clap", smp);
}

Instrument tom()
{
    const size_t n = frames_for(0.42, HALF_RATE);
    Signal s(n);
    Random rng(16);
    double phase = 0.0;
    Svf lp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / HALF_RATE;
        phase += 130.81 * (1.0 + 0.6 * std::exp(-t / 0.025)) / HALF_RATE;
        const double body = std::sin(TAU * phase) * std::exp(-t / 0.2);
        const double stick = lp.run(noise(rng), 2500.0, 0.0, HALF_RATE) * std::exp(-t / 0.008);
        s[i] = std::tanh(1.4 * body + 0.6 * stick);
    }
    Sample smp = make_sample("tom", s, true);
    smp.relative_note = relative_note(3, HALF_RATE);
    return one_sample("tom", smp);
}

Instrument crash()
{
    const size_t n = frames_for(0.75, RATE);
    Signal s(n);
    Random rng(17);
    double partial_freq[24], partial_phase[24];
    for (int k = 0; k < 24; ++k) {
        partial_freq[k] = 3000.0 + 9000.0 * rng.unit();
        partial_phase[k] = rng.unit();
    }
    Svf hp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        double m = 0.0;
        for (int k = 0; k < 24; ++k) m += std::sin(TAU * (partial_freq[k] * t + partial_phase[k]));
        hp.run(noise(rng) + m * 0.05, 3500.0, 0.1, RATE);
        const double env =
            std::exp(-t / 0.28) * std::min(1.0, t / 0.002) * std::min(1.0, (0.75 - t) / 0.05);
        s[i] = hp.high * env;
    }
    Sample smp = make_sample("crash", s, false);
    smp.panning = 72;
    return one_sample("crash", smp);
}

Instrument shaker()
{
    const size_t n = frames_for(0.11, RATE);
    Signal s(n);
    Random rng(18);
    Svf bp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        bp.run(noise(rng), 6500.0, 0.4, RATE);
        s[i] = bp.band * std::min(1.0, t / 0.015) * std::exp(-t / 0.03);
    }
    Sample smp = make_sample("shaker", s, false);
    smp.panning = 200;
    return one_sample("shaker", smp);
}

Instrument rim()
{
    const size_t n = frames_for(0.06, RATE);
    Signal s(n);
    Random rng(19);
    Svf bp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        bp.run(noise(rng), 1700.0, 0.7, RATE);
        s[i] = (bp.band * 0.7 + std::sin(TAU * 820.0 * t)) * std::exp(-t / 0.012);
    }
    Sample smp = make_sample("rim", s, false);
    smp.panning = 64;
    return one_sample("rim", smp);
}

Instrument snare_roll()
{
    const size_t n = frames_for(0.12, RATE);
    Signal s(n);
    Random rng(20);
    Svf hp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        hp.run(noise(rng), 2000.0, 0.1, RATE);
        s[i] = (hp.high + 0.4 * std::sin(TAU * 200.0 * t)) * std::exp(-t / 0.035);
    }
    return one_sample("roll snare", make_sample("roll snare", s, false));
}

// --- basses ------------------------------------------------------------------------------

Instrument sub_bass()
{
    // Four cycles of C-3, looped: a pure low tone with a little warmth on top.
    const size_t cycle = 256, n = cycle * 4;
    Signal s(n);
    for (size_t i = 0; i < n; ++i) {
        const double p = static_cast<double>(i) / cycle;
        s[i] = std::sin(TAU * p) + 0.22 * std::sin(2 * TAU * p) + 0.08 * std::sin(3 * TAU * p);
    }
    Sample smp = make_sample("sub", s, true);
    smp.relative_note = relative_note(3, RATE);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_start = 0;
    smp.loop_length = static_cast<uint32_t>(n);
    Instrument ins = one_sample("sub bass", smp);
    ins.volume.points = {{0, 64}, {6, 52}, {20, 0}};
    ins.volume.sustain = 1;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.fadeout = 0x400;
    return ins;
}

Instrument pluck_bass()
{
    // A resonant low-pass closes over the first quarter second; once it rests the tone is
    // periodic and the last four cycles loop.
    const size_t cycle = 256, attack = cycle * 34, loop = cycle * 4, n = attack + loop;
    const double f0 = RATE / cycle;
    Signal s(n);
    Svf lp;
    for (size_t i = 0; i < n; ++i) {
        const double t = std::min(static_cast<double>(i), static_cast<double>(attack)) / RATE;
        const double p = static_cast<double>(i) / cycle;
        const double osc = saw_wave(p, f0, 9000.0) * 0.7 + pulse_wave(p, 0.5, f0, 9000.0) * 0.5;
        const double cutoff = 320.0 + 2600.0 * std::exp(-t / 0.06);
        s[i] = std::tanh(1.5 * lp.run(osc, cutoff, 0.55, RATE));
    }
    // Settle the filter state so the loop cycles match.
    Sample smp = make_sample("pluck bass", s, true);
    smp.relative_note = relative_note(3, RATE);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_start = static_cast<uint32_t>(attack);
    smp.loop_length = static_cast<uint32_t>(loop);
    Instrument ins = one_sample("pluck bass", smp);
    ins.volume.points = {{0, 64}, {8, 50}, {24, 40}, {34, 0}};
    ins.volume.sustain = 2;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.fadeout = 0x300;
    return ins;
}

// --- pads --------------------------------------------------------------------------------

// Detuned saws whose cycle counts are whole numbers over the loop, so the loop is seamless.
Signal saw_ensemble(size_t length, size_t cycle,
                    const std::vector<std::pair<double, double>>& voices, double top_hz,
                    double soft_hz)
{
    Signal s(length);
    const double base_cycles = static_cast<double>(length) / cycle;
    for (const auto& [extra_cycles, weight] : voices) {
        const double cycles = base_cycles + extra_cycles;
        const double f = RATE * cycles / length;
        const int top = static_cast<int>(top_hz / f);
        std::vector<double> amp(static_cast<size_t>(top) + 1);
        for (int k = 1; k <= top; ++k)
            amp[static_cast<size_t>(k)] =
                weight / k / (1.0 + (k * f / soft_hz) * (k * f / soft_hz));
        const double start = extra_cycles * 0.37;  // spread the voices' phases
        for (size_t i = 0; i < length; ++i) {
            const double p = cycles * static_cast<double>(i) / length + start;
            double v = 0.0;
            for (int k = 1; k <= top; ++k) v += amp[static_cast<size_t>(k)] * std::sin(TAU * k * p);
            s[i] += v;
        }
    }
    return s;
}

Instrument strings()
{
    const size_t n = 16384;
    Signal s = saw_ensemble(
        n, 128, {{-1.0, 0.8}, {0.0, 1.0}, {1.0, 0.8}, {128.0, 0.35}, {130.0, 0.3}}, 9000.0, 2200.0);
    Sample smp = make_sample("strings", s, true);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_length = static_cast<uint32_t>(n);
    Instrument ins = one_sample("strings", smp);
    ins.volume.points = {{0, 0}, {14, 64}, {40, 52}, {90, 0}};
    ins.volume.sustain = 2;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    // A slow drift across the stereo field while the chord holds.
    ins.panning.points = {{0, 32}, {60, 18}, {140, 46}, {200, 32}};
    ins.panning.loop_start = 0;
    ins.panning.loop_end = 3;
    ins.panning.type = player::ENVELOPE_ON | player::ENVELOPE_LOOP;
    ins.fadeout = 0x180;
    return ins;
}

Instrument choir()
{
    // Harmonics of two slightly detuned voices weighted by the formants of an open "ah".
    const size_t n = 8192, cycle = 128;
    Signal s(n);
    const double formants[3][3] = {
        {750.0, 1.0, 110.0}, {1150.0, 0.6, 140.0}, {2800.0, 0.25, 250.0}};
    for (double extra : {0.0, 1.0}) {
        const double cycles = static_cast<double>(n) / cycle + extra;
        const double f = RATE * cycles / n;
        for (int k = 1; k * f < 7000.0; ++k) {
            double a = 0.15 / k;
            for (const auto& fm : formants) {
                const double d = (k * f - fm[0]) / fm[2];
                a += fm[1] * std::exp(-d * d);
            }
            for (size_t i = 0; i < n; ++i)
                s[i] += a * std::sin(TAU * k * (cycles * i / n + extra * 0.21));
        }
    }
    Sample smp = make_sample("choir", s, true);
    smp.loop = xmwriter::SAMPLE_PINGPONG;
    smp.loop_length = static_cast<uint32_t>(n);
    Instrument ins = one_sample("choir", smp);
    ins.volume.points = {{0, 0}, {24, 64}, {80, 0}};
    ins.volume.sustain = 1;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 40;
    ins.vibrato_depth = 6;
    ins.vibrato_rate = 10;
    ins.fadeout = 0x200;
    return ins;
}

Instrument glass()
{
    const size_t n = 8192, cycle = 64;  // C-5
    Signal s(n);
    const double cycles = static_cast<double>(n) / cycle;
    for (size_t i = 0; i < n; ++i) {
        const double p = cycles * i / n;
        s[i] = std::sin(TAU * p) + 0.4 * std::sin(TAU * 2 * p) +
               0.15 * std::sin(TAU * 4 * p + 1.0) + 0.1 * std::sin(TAU * 6 * p + 0.5);
    }
    Sample smp = make_sample("glass", s, true);
    smp.relative_note = relative_note(5, RATE);
    smp.loop = xmwriter::SAMPLE_PINGPONG;
    smp.loop_length = static_cast<uint32_t>(n);
    smp.panning = 160;
    Instrument ins = one_sample("glass pad", smp);
    // A looping swell: the pad breathes while it holds.
    ins.volume.points = {{0, 0}, {16, 60}, {40, 36}, {64, 60}};
    ins.volume.loop_start = 1;
    ins.volume.loop_end = 3;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_LOOP;
    ins.fadeout = 0x280;
    return ins;
}

// --- leads -------------------------------------------------------------------------------

Instrument square_lead()
{
    // Pulse width sweeps once over the loop, from a hollow square to a thin pulse and back.
    const size_t cycle = 128, cycles = 32, n = cycle * cycles;
    Signal s(n);
    for (size_t c = 0; c < cycles; ++c) {
        const double width = 0.5 - 0.32 * (0.5 - 0.5 * std::cos(TAU * c / cycles));
        for (size_t j = 0; j < cycle; ++j) {
            const double p = static_cast<double>(j) / cycle;
            s[c * cycle + j] = pulse_wave(p, width, C4, 4500.0);
        }
    }
    Sample smp = make_sample("square", s, false, 0.9);
    smp.panning = 100;
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_length = static_cast<uint32_t>(n);
    Instrument ins = one_sample("square lead", smp);
    ins.volume.points = {{0, 64}, {12, 54}, {36, 0}};
    ins.volume.sustain = 1;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 24;
    ins.vibrato_depth = 5;
    ins.vibrato_rate = 9;
    ins.fadeout = 0x300;
    return ins;
}

Sample saw_lead_sample(const char* name, int octave, size_t n, bool sixteen_bit)
{
    const size_t cycle = static_cast<size_t>(128.0 * std::pow(2.0, 4 - octave));
    Signal s = saw_ensemble(n, cycle, {{0.0, 1.0}, {1.0, 0.45}}, 11000.0, 5000.0);
    Sample smp = make_sample(name, s, sixteen_bit);
    smp.relative_note = relative_note(octave, RATE);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_length = static_cast<uint32_t>(n);
    smp.panning = 100;
    return smp;
}

Instrument saw_lead()
{
    // Three samples over the keyboard keep the top notes clean.
    Instrument ins;
    ins.name = "saw lead";
    ins.samples.push_back(saw_lead_sample("saw low", 3, 8192, false));
    ins.samples.push_back(saw_lead_sample("saw mid", 4, 8192, true));
    ins.samples.push_back(saw_lead_sample("saw high", 5, 4096, true));
    for (size_t k = 0; k < 96; ++k) ins.note_sample[k] = k < 48 ? 0 : (k < 60 ? 1 : 2);
    ins.volume.points = {{0, 0}, {2, 64}, {14, 50}, {40, 0}};
    ins.volume.sustain = 2;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 30;
    ins.vibrato_depth = 3;
    ins.vibrato_rate = 12;
    ins.fadeout = 0x300;
    return ins;
}

Instrument arp_pluck()
{
    const size_t n = frames_for(0.28, RATE);
    Signal s(n);
    Svf lp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        const double p = t * C4;
        const double osc = saw_wave(p, C4, 6000.0) * 0.6 + pulse_wave(p, 0.3, C4, 6000.0) * 0.5;
        s[i] = lp.run(osc, 700.0 + 5500.0 * std::exp(-t / 0.05), 0.35, RATE) * std::exp(-t / 0.09);
    }
    Sample smp = make_sample("arp pluck", s, false);
    smp.panning = 176;
    return one_sample("arp pluck", smp);
}

Instrument power_stab()
{
    const size_t n = frames_for(0.3, RATE);
    Signal s(n);
    Svf lp;
    const double notes[4] = {1.0, 1.4983, 2.0, 0.5};
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        double osc = 0.0;
        for (int v = 0; v < 4; ++v)
            osc += saw_wave(t * C4 * notes[v] * (1.0 + 0.003 * (v - 1.5)), C4 * notes[v], 10000.0) *
                   (v == 3 ? 0.6 : 1.0);
        const double env =
            std::min(1.0, t / 0.003) * std::exp(-t / 0.12) * std::min(1.0, (0.3 - t) / 0.02);
        s[i] = std::tanh(1.2 * lp.run(osc, 1300.0 + 5000.0 * std::exp(-t / 0.07), 0.3, RATE)) * env;
    }
    return one_sample("power stab", make_sample("power stab", s, true));
}

Instrument brass()
{
    const size_t cycle = 128, attack = cycle * 52, loop = cycle * 8, n = attack + loop;
    Signal s(n);
    Svf lp;
    for (size_t i = 0; i < n; ++i) {
        const double t = std::min(static_cast<double>(i), static_cast<double>(attack)) / RATE;
        const double p = static_cast<double>(i) / cycle;
        const double osc = saw_wave(p, C4, 9000.0) + 0.5 * saw_wave(p * 2.0 + 0.1, 2 * C4, 9000.0);
        const double cutoff =
            900.0 + 2600.0 * std::min(1.0, t / 0.04) * (0.6 + 0.4 * std::exp(-t / 0.1));
        s[i] = std::tanh(1.3 * lp.run(osc, cutoff, 0.2, RATE)) *
               std::min(1.0, t / 0.01 + (i >= attack ? 1.0 : 0.0));
    }
    Sample smp = make_sample("brass", s, true);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_start = static_cast<uint32_t>(attack);
    smp.loop_length = static_cast<uint32_t>(loop);
    Instrument ins = one_sample("brass", smp);
    // A stab: the envelope falls away by itself, no key off needed.
    ins.volume.points = {{0, 64}, {6, 44}, {18, 0}};
    ins.volume.type = player::ENVELOPE_ON;
    ins.fadeout = 0x400;
    return ins;
}

Instrument bell()
{
    const size_t n = frames_for(0.8, HALF_RATE);
    const double f = HALF_RATE / 64.0 * 2.0;  // C-5 at half rate is a 32-frame cycle
    Signal s(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / HALF_RATE;
        const double index = 0.8 + 3.2 * std::exp(-t / 0.12);
        const double mod = std::sin(TAU * f * 3.5 * t) * index;
        s[i] = std::sin(TAU * f * t + mod) * std::exp(-t / 0.35) * std::min(1.0, t / 0.002);
    }
    Sample smp = make_sample("bell", s, false);
    smp.relative_note = relative_note(5, HALF_RATE);
    smp.panning = 176;
    return one_sample("bell", smp);
}

Instrument epiano()
{
    const size_t n = frames_for(0.8, HALF_RATE);
    const double f = HALF_RATE / 64.0;
    Signal s(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / HALF_RATE;
        const double body =
            std::sin(TAU * f * t + 1.4 * std::exp(-t / 0.3) * std::sin(TAU * f * t));
        const double tine = std::sin(TAU * f * 7.0 * t) * std::exp(-t / 0.03) * 0.35;
        s[i] = (body + tine) * std::exp(-t / 0.45) * std::min(1.0, t / 0.003);
    }
    Sample smp = make_sample("e-piano", s, false);
    smp.relative_note = relative_note(4, HALF_RATE);
    smp.panning = 84;
    return one_sample("e-piano", smp);
}

Instrument orchestra_hit()
{
    const size_t n = frames_for(0.45, HALF_RATE);
    const double f = HALF_RATE / 64.0;
    Signal s(n);
    Random rng(21);
    Svf lp;
    const double chord[5] = {0.5, 1.0, 1.4983, 2.0, 2.5198};
    for (size_t i = 0; i < n; ++i) {
        const double t = i / HALF_RATE;
        const double bend = 1.0 - 0.03 * std::exp(-t / 0.02);
        double osc = 0.0;
        for (double c : chord) osc += saw_wave(t * f * c * bend, f * c, 6500.0);
        const double smack = noise(rng) * std::exp(-t / 0.015);
        const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.14);
        s[i] = std::tanh(1.4 * lp.run(osc * 0.5 + smack, 5000.0 * std::exp(-t / 0.25) + 800.0, 0.2,
                                      HALF_RATE)) *
               env;
    }
    Sample smp = make_sample("orchestra hit", s, true);
    smp.relative_note = relative_note(4, HALF_RATE);
    return one_sample("orchestra hit", smp);
}

// --- effects -----------------------------------------------------------------------------

Instrument riser()
{
    const double seconds = 1.2;
    const size_t n = frames_for(seconds, HALF_RATE);
    Signal s(n);
    Random rng(22);
    Svf bp;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / HALF_RATE;
        const double x = t / seconds;
        bp.run(noise(rng), 300.0 * std::pow(20.0, x), 0.75, HALF_RATE);
        s[i] = bp.band * (0.1 + 0.9 * x * x) * std::min(1.0, (seconds - t) / 0.01);
    }
    Sample smp = make_sample("riser", s, false);
    smp.relative_note = relative_note(4, HALF_RATE);
    return one_sample("riser", smp);
}

Instrument zap()
{
    const size_t n = frames_for(0.25, RATE);
    Signal s(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / RATE;
        phase += (90.0 + 2400.0 * std::exp(-t / 0.04)) / RATE;
        s[i] = std::tanh(3.0 * std::sin(TAU * phase)) * std::exp(-t / 0.08);
    }
    Sample smp = make_sample("zap", s, false);
    smp.panning = 60;
    return one_sample("zap", smp);
}

Instrument wind(size_t frames)
{
    // Noise through two slowly wandering resonances; the loop is cross-faded end to start.
    Signal s(frames);
    Random rng(23);
    Svf a, b;
    for (size_t i = 0; i < frames; ++i) {
        const double t = i / HALF_RATE;
        const double wobble = std::sin(TAU * t * 0.23) * 0.5 + std::sin(TAU * t * 0.61 + 1.0) * 0.5;
        const double x = noise(rng);
        a.run(x, 500.0 + 350.0 * wobble, 0.85, HALF_RATE);
        b.run(x, 1700.0 - 600.0 * wobble, 0.8, HALF_RATE);
        s[i] = a.band + 0.6 * b.band;
    }
    const size_t fade = std::min<size_t>(2000, frames / 4);
    const size_t loop_start = std::min<size_t>(fade + 16, frames / 2);
    crossfade_loop(s, loop_start, fade);
    Sample smp = make_sample("wind", s, false, 0.9);
    smp.relative_note = relative_note(4, HALF_RATE);
    smp.loop = xmwriter::SAMPLE_FORWARD;
    smp.loop_start = static_cast<uint32_t>(loop_start);
    smp.loop_length = static_cast<uint32_t>(frames - loop_start);
    Instrument ins = one_sample("wind", smp);
    ins.volume.points = {{0, 0}, {60, 64}, {120, 0}};
    ins.volume.sustain = 1;
    ins.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    ins.panning.points = {{0, 20}, {90, 44}, {180, 20}};
    ins.panning.loop_start = 0;
    ins.panning.loop_end = 2;
    ins.panning.type = player::ENVELOPE_ON | player::ENVELOPE_LOOP;
    ins.fadeout = 0x100;
    return ins;
}

Instrument sub_drop()
{
    const double rate = RATE / 4.0;
    const size_t n = frames_for(1.2, rate);
    Signal s(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        phase += (34.0 + 70.0 * std::exp(-t / 0.35)) / rate;
        s[i] =
            std::tanh(1.6 * std::sin(TAU * phase)) * std::exp(-t / 0.45) * std::min(1.0, t / 0.004);
    }
    Sample smp = make_sample("sub drop", s, true);
    smp.relative_note = relative_note(4, rate);
    return one_sample("sub drop", smp);
}

}  // namespace

std::vector<xmwriter::Instrument> make_instruments(size_t wind_frames)
{
    return {kick(),          snare(),    closed_hat(), open_hat(),        clap(),    tom(),
            crash(),         shaker(),   sub_bass(),   pluck_bass(),      strings(), choir(),
            square_lead(),   saw_lead(), arp_pluck(),  power_stab(),      bell(),    epiano(),
            orchestra_hit(), riser(),    zap(),        wind(wind_frames), glass(),   rim(),
            brass(),         sub_drop(), snare_roll()};
}

}  // namespace assetgen
