// output_support.h -- small playable modules for the control, output and xmplay tests
#pragma once
#include <cstdint>
#include <vector>

#include "tools/xmwriter/xm_writer.h"

namespace test_support {

// One instrument: a looped 16-bit saw of 64 frames, loud enough to be heard in every chunk.
inline xmwriter::Instrument saw_instrument()
{
    xmwriter::Sample sample;
    sample.name = "saw";
    sample.sixteen_bit = true;
    for (int i = 0; i < 64; ++i) sample.frames.push_back(static_cast<int16_t>(i * 800 - 25600));
    sample.loop = xmwriter::SAMPLE_FORWARD;
    sample.loop_start = 0;
    sample.loop_length = 64;
    xmwriter::Instrument instrument;
    instrument.name = "saw";
    instrument.samples.push_back(sample);
    return instrument;
}

// `orders` orders playing patterns 0, 1, 2, ... of `rows` rows each, with a note on channel 0
// at every fourth row and on channel 1 at every row, at `speed` ticks a row and 125 BPM
// (882 frames a tick at 44100 Hz).
inline xmwriter::Module song_module(int orders, int rows, int speed, int channels = 4)
{
    xmwriter::Module module;
    module.name = "output test";
    module.channels = channels;
    module.speed = static_cast<uint16_t>(speed);
    module.bpm = 125;
    module.instruments.push_back(saw_instrument());
    for (int order = 0; order < orders; ++order) {
        module.orders.push_back(static_cast<uint8_t>(order));
        xmwriter::Pattern pattern;
        pattern.rows = rows;
        for (int row = 0; row < rows; ++row) {
            if (row % 4 == 0)
                pattern.at(row, 0, channels) = {static_cast<uint8_t>(49 + order), 1, 0, 0, 0};
            pattern.at(row, 1, channels) = {static_cast<uint8_t>(37 + row % 12), 1, 0x30, 0, 0};
        }
        module.patterns.push_back(pattern);
    }
    return module;
}

}  // namespace test_support
