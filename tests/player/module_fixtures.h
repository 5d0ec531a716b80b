// module_fixtures.h -- small XM modules for the loader tests, built with the XM writer
#pragma once
#include <cstdint>
#include <vector>

#include "player/replay/effects.h"
#include "player/xm.h"
#include "tools/xmwriter/xm_writer.h"

namespace fixtures {

// Offsets into written modules: the writer's header is 60 + 276 bytes.
constexpr size_t SONG_LENGTH_AT = 64;
constexpr size_t RESTART_AT = 66;
constexpr size_t CHANNELS_AT = 68;
constexpr size_t PATTERN_COUNT_AT = 70;
constexpr size_t INSTRUMENT_COUNT_AT = 72;
constexpr size_t FIRST_PATTERN_AT = 336;
constexpr size_t INSTRUMENT_HEADER_SIZE = 263;
constexpr size_t SAMPLE_HEADER_SIZE = 40;

inline void put_u16(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void put_u32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    put_u16(bytes, at, value & 0xFFFF);
    put_u16(bytes, at + 2, value >> 16);
}

inline uint32_t get_u32(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline std::vector<int16_t> ramp_frames(size_t count, int step, bool sixteen_bit)
{
    std::vector<int16_t> frames(count);
    for (size_t i = 0; i < count; ++i) {
        const int value = static_cast<int>(i) * step;
        frames[i] = sixteen_bit ? static_cast<int16_t>(value * 97 % 65536 - 32768)
                                : static_cast<int16_t>(value % 256 - 128);
    }
    return frames;
}

inline xmwriter::Sample make_sample(size_t frames, bool sixteen_bit, uint8_t loop,
                                    uint32_t loop_start, uint32_t loop_length)
{
    xmwriter::Sample s;
    s.frames = ramp_frames(frames, 3, sixteen_bit);
    s.sixteen_bit = sixteen_bit;
    s.loop = loop;
    s.loop_start = loop_start;
    s.loop_length = loop_length;
    return s;
}

// A module touching every part of the format: several patterns with packed and whole cells,
// instruments with 0, 1 and 3 samples of both widths and all loop kinds, envelopes.
inline xmwriter::Module rich_module()
{
    xmwriter::Module m;
    m.channels = 4;
    m.speed = 6;
    m.bpm = 125;
    m.restart = 1;
    m.orders = {0, 1, 2, 1};
    for (int p = 0; p < 3; ++p) {
        xmwriter::Pattern pattern;
        pattern.rows = 16 + 8 * p;
        for (int row = 0; row < pattern.rows; row += 2) {
            xmwriter::Cell& c = pattern.at(row, row % m.channels, m.channels);
            c.note = static_cast<uint8_t>(1 + (row * 7 + p) % 96);
            c.instrument = static_cast<uint8_t>(1 + row % 3);
            if (row % 4 == 0) {
                c.volume = 0x30;
                c.effect = player::EFFECT_VOLUME_SLIDE;
                c.parameter = 0x0F;
            }
        }
        pattern.at(pattern.rows - 1, 0, m.channels).note = 97;
        m.patterns.push_back(pattern);
    }
    xmwriter::Instrument empty;
    empty.name = "empty";
    m.instruments.push_back(empty);

    xmwriter::Instrument single;
    single.samples.push_back(make_sample(300, false, xmwriter::SAMPLE_FORWARD, 100, 150));
    single.volume.points = {{0, 64}, {10, 32}, {20, 0}};
    single.volume.type = player::ENVELOPE_ON | player::ENVELOPE_SUSTAIN;
    single.volume.sustain = 1;
    single.fadeout = 512;
    m.instruments.push_back(single);

    xmwriter::Instrument triple;
    triple.samples.push_back(make_sample(200, true, xmwriter::SAMPLE_PINGPONG, 50, 100));
    triple.samples.push_back(make_sample(64, false, xmwriter::SAMPLE_NO_LOOP, 0, 0));
    triple.samples.push_back(make_sample(120, true, xmwriter::SAMPLE_FORWARD, 0, 120));
    for (size_t n = 0; n < 96; ++n) triple.note_sample[n] = static_cast<uint8_t>(n % 3);
    triple.panning.points = {{0, 32}, {5, 0}, {9, 64}, {30, 32}};
    triple.panning.type = player::ENVELOPE_ON | player::ENVELOPE_LOOP;
    triple.panning.loop_start = 1;
    triple.panning.loop_end = 2;
    triple.vibrato_type = 1;
    triple.vibrato_depth = 4;
    triple.vibrato_rate = 8;
    m.instruments.push_back(triple);
    return m;
}

// A one-pattern, one-instrument module around a single sample.
inline xmwriter::Module sample_module(const xmwriter::Sample& sample)
{
    xmwriter::Module m;
    m.channels = 2;
    m.orders = {0};
    xmwriter::Pattern pattern;
    pattern.rows = 4;
    pattern.cells.resize(8);
    pattern.cells[0] = xmwriter::Cell{49, 1, 0, 0, 0};
    m.patterns.push_back(pattern);
    xmwriter::Instrument instrument;
    instrument.samples.push_back(sample);
    m.instruments.push_back(instrument);
    return m;
}

}  // namespace fixtures
