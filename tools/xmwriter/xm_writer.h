// xm_writer.h -- builds XM module bytes from plain records (used by assetgen and the tests)
//
// Header-only; beyond the standard library it takes only the file's bit names from
// player/xm.h, so nothing needs linking. Sample frames are given plainly; the writer
// delta-codes them (or ADPCM-packs 8-bit ones on request). Loop points are in frames. Patterns
// are packed the usual way: a cell with every field set is stored whole, any other cell as a
// mask byte and its set fields. Versions 1.02 and 1.03 are written in their own layout:
// instruments first, then patterns (1.02 with rows - 1 in one byte), then all sample data.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "player/xm.h"

namespace xmwriter {

struct Cell {
    uint8_t note = 0;  // 1..96, 97 key off
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

struct Pattern {
    int rows = 64;
    std::vector<Cell> cells;  // rows * channels, row by row; missing cells are empty

    Cell& at(int row, int channel, int channels)
    {
        const size_t index =
            static_cast<size_t>(row) * static_cast<size_t>(channels) + static_cast<size_t>(channel);
        if (cells.size() <= index)
            cells.resize(static_cast<size_t>(rows) * static_cast<size_t>(channels));
        return cells[index];
    }
};

struct Envelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value)
    uint8_t sustain = 0, loop_start = 0, loop_end = 0;
    uint8_t type = 0;  // the ENVELOPE_* bits of player/xm.h
};

// Sample::loop, the loop bits of the header's type byte.
constexpr uint8_t SAMPLE_NO_LOOP = 0;
constexpr uint8_t SAMPLE_FORWARD = player::SAMPLE_TYPE_FORWARD_LOOP;
constexpr uint8_t SAMPLE_PINGPONG = player::SAMPLE_TYPE_PINGPONG_LOOP;

struct Sample {
    std::string name;
    std::vector<int16_t> frames;  // 8-bit samples: values -128..127
    bool sixteen_bit = false;
    uint32_t loop_start = 0;   // frames
    uint32_t loop_length = 0;  // frames
    uint8_t loop = SAMPLE_NO_LOOP;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
    // 8-bit only: stored as ADPCM_DELTAS indices; steps between frames that the table lacks
    // are approximated by its nearest delta.
    bool adpcm = false;
};

constexpr std::array<int8_t, 16> ADPCM_DELTAS{0,  1,  2,  4,  8,   16,  32,  64,
                                              -1, -2, -4, -8, -16, -32, -64, -128};
using player::ADPCM_MARK;

struct Instrument {
    std::string name;
    std::vector<Sample> samples;
    std::array<uint8_t, 96> note_sample{};
    Envelope volume, panning;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    uint16_t fadeout = 0;
};

struct Module {
    std::string name = "untitled";
    std::string tracker = "quorbela xmwriter";
    int channels = 4;
    uint16_t flags = player::FLAG_LINEAR;
    uint16_t speed = 6;
    uint16_t bpm = 125;
    uint16_t restart = 0;
    uint16_t version = 0x0104;    // 0x0102 and 0x0103 write the older layout
    uint32_t pattern_header = 9;  // pattern header length; past the usual 9 (8 for 1.02), zeros
    std::vector<uint8_t> orders;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

class ByteWriter {
public:
    std::vector<uint8_t> bytes;

    void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v)
    {
        u8(v & 255);
        u8((v >> 8) & 255);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void text(const std::string& s, size_t size, char pad = 0)
    {
        for (size_t i = 0; i < size; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    void patch_u16(size_t at, uint32_t v)
    {
        bytes[at] = static_cast<uint8_t>(v & 255);
        bytes[at + 1] = static_cast<uint8_t>((v >> 8) & 255);
    }
};

inline std::vector<uint8_t> pack_cells(const Pattern& pattern, int channels)
{
    ByteWriter w;
    const size_t count = static_cast<size_t>(pattern.rows) * static_cast<size_t>(channels);
    for (size_t i = 0; i < count; ++i) {
        const Cell c = i < pattern.cells.size() ? pattern.cells[i] : Cell{};
        if (c.note && c.instrument && c.volume && c.effect && c.parameter && c.note < 0x80) {
            w.u8(c.note);
            w.u8(c.instrument);
            w.u8(c.volume);
            w.u8(c.effect);
            w.u8(c.parameter);
            continue;
        }
        uint8_t mask = 0x80;
        if (c.note) mask |= 1;
        if (c.instrument) mask |= 2;
        if (c.volume) mask |= 4;
        if (c.effect) mask |= 8;
        if (c.parameter) mask |= 16;
        w.u8(mask);
        if (c.note) w.u8(c.note);
        if (c.instrument) w.u8(c.instrument);
        if (c.volume) w.u8(c.volume);
        if (c.effect) w.u8(c.effect);
        if (c.parameter) w.u8(c.parameter);
    }
    return w.bytes;
}

inline bool packs_adpcm(const Sample& sample)
{
    return sample.adpcm && !sample.sixteen_bit;
}

// Frames as the file stores them: delta-coded bytes (8-bit) or words (16-bit), or the ADPCM
// table and one nibble per frame, low nibble first.
inline std::vector<uint8_t> sample_bytes(const Sample& sample)
{
    ByteWriter w;
    if (packs_adpcm(sample)) {
        for (int8_t delta : ADPCM_DELTAS) w.u8(static_cast<uint8_t>(delta));
        int8_t value = 0;
        uint8_t pair = 0;
        for (size_t i = 0; i < sample.frames.size(); ++i) {
            const int wanted = static_cast<int8_t>(static_cast<uint8_t>(sample.frames[i] - value));
            size_t best = 0;
            for (size_t k = 1; k < ADPCM_DELTAS.size(); ++k) {
                if (std::abs(ADPCM_DELTAS[k] - wanted) < std::abs(ADPCM_DELTAS[best] - wanted))
                    best = k;
            }
            value = static_cast<int8_t>(value + ADPCM_DELTAS[best]);
            pair = static_cast<uint8_t>(i % 2 == 0 ? best : pair | best << 4);
            if (i % 2 == 1 || i + 1 == sample.frames.size()) w.u8(pair);
        }
        return w.bytes;
    }
    int32_t previous = 0;
    for (int16_t frame : sample.frames) {
        if (sample.sixteen_bit) {
            w.u16(static_cast<uint16_t>(frame - previous));
        } else {
            w.u8(static_cast<uint8_t>(frame - previous));
        }
        previous = frame;
    }
    return w.bytes;
}

inline void write_envelope_points(ByteWriter& w, const Envelope& e)
{
    for (size_t i = 0; i < 12; ++i) {
        w.u16(i < e.points.size() ? e.points[i].first : 0);
        w.u16(i < e.points.size() ? e.points[i].second : 0);
    }
}

inline void write_patterns(ByteWriter& w, const Module& m)
{
    for (const Pattern& p : m.patterns) {
        const std::vector<uint8_t> packed = pack_cells(p, m.channels);
        const uint32_t usual = m.version == 0x0102 ? 8 : 9;
        const uint32_t length = std::max(m.pattern_header, usual);
        w.u32(length);
        w.u8(0);
        if (m.version == 0x0102) {
            w.u8(static_cast<uint32_t>(p.rows - 1));
        } else {
            w.u16(static_cast<uint32_t>(p.rows));
        }
        w.u16(static_cast<uint32_t>(packed.size()));
        w.zeros(length - usual);
        w.bytes.insert(w.bytes.end(), packed.begin(), packed.end());
    }
}

inline void write_sample_data(ByteWriter& w, const Instrument& ins)
{
    for (const Sample& s : ins.samples) {
        const std::vector<uint8_t> data = sample_bytes(s);
        w.bytes.insert(w.bytes.end(), data.begin(), data.end());
    }
}

// The instrument header and its sample headers.
inline void write_instrument(ByteWriter& w, const Instrument& ins)
{
    const size_t start = w.bytes.size();
    const bool has_samples = !ins.samples.empty();
    w.u32(has_samples ? 263 : 29);
    w.text(ins.name, 22);
    w.u8(0);
    w.u16(static_cast<uint32_t>(ins.samples.size()));
    if (!has_samples) return;
    w.u32(40);
    for (uint8_t s : ins.note_sample) w.u8(s);
    write_envelope_points(w, ins.volume);
    write_envelope_points(w, ins.panning);
    w.u8(static_cast<uint32_t>(ins.volume.points.size()));
    w.u8(static_cast<uint32_t>(ins.panning.points.size()));
    w.u8(ins.volume.sustain);
    w.u8(ins.volume.loop_start);
    w.u8(ins.volume.loop_end);
    w.u8(ins.panning.sustain);
    w.u8(ins.panning.loop_start);
    w.u8(ins.panning.loop_end);
    w.u8(ins.volume.type);
    w.u8(ins.panning.type);
    w.u8(ins.vibrato_type);
    w.u8(ins.vibrato_sweep);
    w.u8(ins.vibrato_depth);
    w.u8(ins.vibrato_rate);
    w.u16(ins.fadeout);
    w.zeros(263 - (w.bytes.size() - start));
    for (const Sample& s : ins.samples) {
        const uint32_t scale = s.sixteen_bit ? 2 : 1;
        w.u32(static_cast<uint32_t>(s.frames.size()) * scale);
        w.u32(s.loop_start * scale);
        w.u32(s.loop_length * scale);
        w.u8(s.volume);
        w.u8(static_cast<uint8_t>(s.finetune));
        w.u8(static_cast<uint32_t>(s.loop) |
             (s.sixteen_bit ? player::SAMPLE_TYPE_SIXTEEN_BIT : 0u));
        w.u8(s.panning);
        w.u8(static_cast<uint8_t>(s.relative_note));
        w.u8(packs_adpcm(s) ? ADPCM_MARK : 0);
        w.text(s.name, 22);
    }
}

inline std::vector<uint8_t> write(const Module& m)
{
    ByteWriter w;
    w.text("Extended Module: ", 17);
    w.text(m.name, 20);
    w.u8(0x1A);
    w.text(m.tracker, 20);
    w.u16(m.version);
    w.u32(276);  // header size counted from here: 20 bytes of fields and the order table
    w.u16(static_cast<uint32_t>(m.orders.size()));
    w.u16(m.restart);
    w.u16(static_cast<uint32_t>(m.channels));
    w.u16(static_cast<uint32_t>(m.patterns.size()));
    w.u16(static_cast<uint32_t>(m.instruments.size()));
    w.u16(m.flags);
    w.u16(m.speed);
    w.u16(m.bpm);
    for (size_t i = 0; i < 256; ++i) w.u8(i < m.orders.size() ? m.orders[i] : 0);

    if (m.version >= 0x0104) {
        write_patterns(w, m);
        for (const Instrument& ins : m.instruments) {
            write_instrument(w, ins);
            write_sample_data(w, ins);
        }
        return w.bytes;
    }
    for (const Instrument& ins : m.instruments) write_instrument(w, ins);
    write_patterns(w, m);
    for (const Instrument& ins : m.instruments) write_sample_data(w, ins);
    return w.bytes;
}

}  // namespace xmwriter
