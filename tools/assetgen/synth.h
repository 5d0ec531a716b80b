// synth.h -- sound building blocks for the song's instruments
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/xmwriter/xm_writer.h"

namespace assetgen {

constexpr double TAU = 6.28318530717958647692;

// Samples are made at 33452 Hz with a relative note of 24, so a 128-frame cycle is C-4
// (261.3 Hz; finetune 2 takes it to within a third of a cent). Half-rate samples use 16726 Hz
// and a relative note of 12.
constexpr double RATE = 33452.0;
constexpr double HALF_RATE = 16726.0;
constexpr double C4 = RATE / 128.0;

using Signal = std::vector<double>;

// Two-pole resonant filter (trapezoidal state-variable form, stable at any cutoff),
// retunable per sample. `resonance` 0 is damped, towards 1 it rings.
class Svf {
public:
    // Returns low-pass; band and high pass are left in the members.
    double run(double in, double cutoff_hz, double resonance, double rate)
    {
        const double g = std::tan(3.14159265358979 * std::fmin(cutoff_hz, rate * 0.45) / rate);
        const double k = 2.0 * (1.0 - resonance);
        const double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        const double v3 = in - ic2_;
        const double v1 = a1 * ic1_ + a2 * v3;
        const double v2 = ic2_ + a2 * ic1_ + a3 * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
        return low;
    }
    double low = 0.0, band = 0.0, high = 0.0;

private:
    double ic1_ = 0.0, ic2_ = 0.0;
};

// Band-limited sawtooth from its harmonics up to `top_hz` (phase in turns).
double saw_wave(double phase, double base_hz, double top_hz);
// Band-limited pulse of width `width` (0..1).
double pulse_wave(double phase, double width, double base_hz, double top_hz);

Signal normalised(const Signal& s, double peak);
// Frames for the writer: 16-bit or 8-bit range, after normalising to `peak` of full scale.
std::vector<int16_t> to_frames(const Signal& s, bool sixteen_bit, double peak = 0.97);
// Cross-fades the last `fade` frames into the ones before `loop_start` so the loop is seamless.
void crossfade_loop(Signal& s, size_t loop_start, size_t fade);

xmwriter::Sample make_sample(const char* name, const Signal& s, bool sixteen_bit,
                             double peak = 0.97);

// All 27 instruments of the song, in instrument order. `wind_frames` sets the length of the
// atmosphere sample, the one that takes up the space the module has left.
std::vector<xmwriter::Instrument> make_instruments(size_t wind_frames);

}  // namespace assetgen
