// synth.cpp -- oscillators and sample helpers for the instruments
#include <algorithm>

#include "tools/assetgen/synth.h"

namespace assetgen {

double saw_wave(double phase, double base_hz, double top_hz)
{
    double v = 0.0;
    const int top = std::max(1, static_cast<int>(top_hz / base_hz));
    for (int k = 1; k <= top; ++k) v += std::sin(TAU * k * phase) / k;
    return v * (2.0 / 3.14159265358979);
}

double pulse_wave(double phase, double width, double base_hz, double top_hz)
{
    return 0.5 * (saw_wave(phase, base_hz, top_hz) - saw_wave(phase + width, base_hz, top_hz));
}

Signal normalised(const Signal& s, double peak)
{
    double top = 1e-12;
    for (double v : s) top = std::max(top, std::fabs(v));
    Signal out(s.size());
    for (size_t i = 0; i < s.size(); ++i) out[i] = s[i] * peak / top;
    return out;
}

std::vector<int16_t> to_frames(const Signal& s, bool sixteen_bit, double peak)
{
    const Signal n = normalised(s, peak);
    const double full = sixteen_bit ? 32767.0 : 127.0;
    std::vector<int16_t> out(n.size());
    for (size_t i = 0; i < n.size(); ++i) out[i] = static_cast<int16_t>(std::lround(n[i] * full));
    return out;
}

void crossfade_loop(Signal& s, size_t loop_start, size_t fade)
{
    // The end of the loop blends into the frames just before its start, so the jump back
    // lands where the signal already is.
    const size_t end = s.size();
    for (size_t i = 0; i < fade; ++i) {
        const double t = static_cast<double>(i + 1) / static_cast<double>(fade + 1);
        const size_t tail = end - fade + i;
        const size_t lead = loop_start - fade + i;
        s[tail] = s[tail] * (1.0 - t) + s[lead] * t;
    }
}

xmwriter::Sample make_sample(const char* name, const Signal& s, bool sixteen_bit, double peak)
{
    xmwriter::Sample sample;
    sample.name = name;
    sample.frames = to_frames(s, sixteen_bit, peak);
    sample.sixteen_bit = sixteen_bit;
    sample.relative_note = 24;
    sample.finetune = 2;
    return sample;
}

}  // namespace assetgen
