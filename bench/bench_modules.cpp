// bench_modules.cpp -- writes the modules the player comparison renders besides the demo's
// song: a narrow one (4 channels) and a wide one (32 channels, every voice busy), with looping
// samples of both widths, envelopes and the everyday effects

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "player/replay/effects.h"
#include "player/xm.h"
#include "tools/xmwriter/xm_writer.h"

namespace {

constexpr double TAU = 6.283185307179586;

struct Noise {
    uint32_t state = 0x12345678u;
    int32_t next()  // -32768..32767
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>(state >> 16) - 32768;
    }
};

// A looped 8-bit saw, a looped 8-bit square, a ping-ponged 16-bit pad with a volume envelope
// and a one-shot 16-bit noise hit.
std::vector<xmwriter::Instrument> instruments()
{
    std::vector<xmwriter::Instrument> all;
    auto add = [&all](const char* name, xmwriter::Sample sample) {
        xmwriter::Instrument instrument;
        instrument.name = name;
        sample.name = name;
        instrument.samples.push_back(std::move(sample));
        all.push_back(std::move(instrument));
    };

    xmwriter::Sample saw;
    for (int i = 0; i < 256; ++i) saw.frames.push_back(static_cast<int16_t>(i - 128));
    saw.loop = xmwriter::SAMPLE_FORWARD;
    saw.loop_length = 256;
    saw.volume = 40;
    add("saw", saw);

    xmwriter::Sample square;
    for (int i = 0; i < 128; ++i) square.frames.push_back(static_cast<int16_t>(i < 64 ? 90 : -90));
    square.loop = xmwriter::SAMPLE_FORWARD;
    square.loop_start = 0;
    square.loop_length = 128;
    square.volume = 32;
    square.relative_note = 12;
    add("square", square);

    xmwriter::Sample pad;
    pad.sixteen_bit = true;
    for (int i = 0; i < 4096; ++i) {
        const double t = i / 4096.0;
        pad.frames.push_back(static_cast<int16_t>(9000 * std::sin(TAU * 16 * t) +
                                                  5000 * std::sin(TAU * 33 * t + 1.0)));
    }
    pad.loop = xmwriter::SAMPLE_PINGPONG;
    pad.loop_start = 1024;
    pad.loop_length = 3000;
    pad.volume = 48;
    pad.relative_note = -12;
    add("pad", pad);
    all.back().volume.points = {{0, 0}, {8, 64}, {40, 44}, {120, 36}, {200, 0}};
    all.back().volume.sustain = 3;
    all.back().volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    all.back().fadeout = 600;
    all.back().vibrato_type = 0;
    all.back().vibrato_depth = 6;
    all.back().vibrato_rate = 8;

    xmwriter::Sample hit;
    hit.sixteen_bit = true;
    Noise noise;
    for (int i = 0; i < 6000; ++i) {
        const double decay = std::exp(-i / 1200.0);
        hit.frames.push_back(static_cast<int16_t>(noise.next() * 0.6 * decay));
    }
    hit.volume = 50;
    add("hit", hit);
    return all;
}

// Chip instruments as trackers' real songs use them: single-cycle waves of 8 to 32 frames
// looped forward or ping-pong, so every voice reaches a loop end every few output frames.
std::vector<xmwriter::Instrument> chip_instruments()
{
    std::vector<xmwriter::Instrument> all;
    const struct {
        const char* name;
        int frames;
        uint8_t loop;
        bool sixteen_bit;
    } shapes[] = {{"pulse8", 8, xmwriter::SAMPLE_FORWARD, false},
                  {"tri16", 16, xmwriter::SAMPLE_PINGPONG, false},
                  {"saw32", 32, xmwriter::SAMPLE_FORWARD, true},
                  {"sine32", 32, xmwriter::SAMPLE_FORWARD, false}};
    for (const auto& shape : shapes) {
        xmwriter::Sample sample;
        sample.name = shape.name;
        for (int i = 0; i < shape.frames; ++i) {
            const double t = static_cast<double>(i) / shape.frames;
            const double v = shape.frames == 8 ? (i < 3 ? 1.0 : -1.0)
                                               : std::sin(TAU * t) * 0.5 + (t - 0.5) * 0.5;
            sample.frames.push_back(static_cast<int16_t>(v * (shape.sixteen_bit ? 20000 : 80)));
        }
        sample.sixteen_bit = shape.sixteen_bit;
        sample.loop = shape.loop;
        sample.loop_length = static_cast<uint32_t>(shape.frames);
        sample.volume = 48;
        sample.relative_note = 24;  // short cycles sound an octave or two up
        xmwriter::Instrument instrument;
        instrument.name = shape.name;
        instrument.samples.push_back(std::move(sample));
        instrument.volume.points = {{0, 64}, {6, 40}, {30, 24}, {60, 0}};
        instrument.volume.sustain = 2;
        instrument.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
        instrument.fadeout = 1200;
        all.push_back(std::move(instrument));
    }
    return all;
}

// `orders` patterns of 64 rows over `channels` channels. Channel c plays instrument c % 4 on
// a note pattern of its own, with an effect that changes from pattern to pattern.
xmwriter::Module module(const char* name, int channels, int orders, uint16_t bpm,
                        uint16_t speed = 6, bool chip = false, bool amiga = false)
{
    xmwriter::Module m;
    m.name = name;
    m.channels = channels;
    m.speed = speed;
    m.bpm = bpm;
    m.instruments = chip ? chip_instruments() : instruments();
    if (amiga) m.flags = 0;
    static const uint8_t scale[] = {0, 2, 3, 5, 7, 8, 10, 12};
    static const uint8_t effects[][2] = {
        {player::EFFECT_ARPEGGIO, 0x37},     {player::EFFECT_VIBRATO, 0x46},
        {player::EFFECT_VOLUME_SLIDE, 0x02},  // down
        {player::EFFECT_PORTA_UP, 0x02},     {player::EFFECT_PORTA_DOWN, 0x02},
        {player::EFFECT_SET_PANNING, 0x40},
    };
    for (int order = 0; order < orders; ++order) {
        m.orders.push_back(static_cast<uint8_t>(order));
        xmwriter::Pattern pattern;
        pattern.rows = 64;
        for (int c = 0; c < channels; ++c) {
            const int instrument = c % 4;
            const int every = instrument == 2 ? 16 : instrument == 3 ? 4 : 2 + c % 3;
            const auto* effect = effects[(order + c) % 6];
            for (int row = 0; row < 64; ++row) {
                xmwriter::Cell& cell = pattern.at(row, c, channels);
                if ((row + c) % every == 0) {
                    const int step = (row / every + c + order) % 8;
                    cell.note = static_cast<uint8_t>(37 + 12 * (c % 3) + scale[step] -
                                                     (instrument == 3 ? 12 : 0));
                    cell.instrument = static_cast<uint8_t>(instrument + 1);
                    cell.volume =
                        static_cast<uint8_t>(0x10 + 40 + (row * 7 + c * 5) % 24);  // set volume
                    if (effect[0] == player::EFFECT_SET_PANNING) {
                        cell.effect = player::EFFECT_SET_PANNING;
                        cell.parameter = static_cast<uint8_t>((c * 37 + row * 11) % 256);
                    }
                } else if (instrument != 3 && effect[0] != player::EFFECT_SET_PANNING) {
                    cell.effect = effect[0];
                    cell.parameter = effect[1];
                } else if (row % 8 == 5) {
                    cell.volume = static_cast<uint8_t>(0xC0 | (c % 16));  // volume column panning
                }
            }
        }
        // A tone portamento run on channel 0 in every other pattern.
        if (order % 2 == 1) {
            pattern.at(32, 0, channels) = {61, 1, 0, player::EFFECT_TONE_PORTA, 0x08};
            for (int row = 33; row < 40; ++row)
                pattern.at(row, 0, channels) = {0, 0, 0, player::EFFECT_TONE_PORTA, 0x00};
        }
        m.patterns.push_back(pattern);
    }
    return m;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::fputs(
            "usage: bench_modules DIR     writes DIR/narrow4.xm, wide32.xm, chip8.xm, amiga8.xm "
            "and fast10.xm\n",
            argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    // About 1 minute of 4 channels and 2 minutes of 32; then the shapes that cost most per
    // second of audio in real songs: chip loops of 8 to 32 frames, the Amiga frequency table
    // with vibrato and slides moving the pitch on every tick, and 10 channels at speed 3.
    const struct {
        const char* file;
        const char* name;
        int channels, orders;
        uint16_t bpm, speed;
        bool chip, amiga;
    } files[] = {{"narrow4.xm", "bench narrow 4ch", 4, 8, 125, 6, false, false},
                 {"wide32.xm", "bench wide 32ch", 32, 16, 125, 6, false, false},
                 {"chip8.xm", "bench chip loops 8ch", 8, 12, 125, 6, true, false},
                 {"amiga8.xm", "bench amiga 8ch", 8, 12, 125, 6, false, true},
                 {"fast10.xm", "bench speed 3 10ch", 10, 24, 150, 3, true, true}};
    for (const auto& f : files) {
        const std::string path = dir + "/" + f.file;
        if (!write_file(path, xmwriter::write(module(f.name, f.channels, f.orders, f.bpm, f.speed,
                                                     f.chip, f.amiga)))) {
            std::fprintf(stderr, "bench_modules: %s: cannot write\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
