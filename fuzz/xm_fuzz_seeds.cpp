// xm_fuzz_seeds.cpp -- writes the fuzzers' generated starting corpus: the loader tests'
// modules and a module whose patterns use every effect

#include <cstdio>
#include <string>
#include <vector>

#include "tests/player/module_fixtures.h"

namespace {

// Patterns of pseudo-random cells (a fixed generator, so the corpus is the same every time):
// every note, key off, every effect and volume column byte, on instruments with envelopes
// and every loop kind. Jumps and breaks are rare, so that every pattern gets played.
xmwriter::Module effects_module()
{
    uint32_t state = 12345;
    const auto next = [&state](uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    xmwriter::Module m = fixtures::rich_module();
    m.name = "every effect";
    m.channels = 6;
    m.speed = 3;
    m.bpm = 200;
    m.restart = 0;
    m.orders = {0, 1, 2, 1, 0};
    m.patterns.clear();
    for (int p = 0; p < 3; ++p) {
        xmwriter::Pattern pattern;
        pattern.rows = 32;
        for (int row = 0; row < pattern.rows; ++row) {
            for (int channel = 0; channel < m.channels; ++channel) {
                if (next(3) == 0) continue;
                xmwriter::Cell& c = pattern.at(row, channel, m.channels);
                c.note = static_cast<uint8_t>(next(4) == 0 ? 0 : 1 + next(97));
                c.instrument = static_cast<uint8_t>(next(4));
                c.volume = static_cast<uint8_t>(next(2) == 0 ? 0 : 0x10 + next(0xF0));
                c.effect = static_cast<uint8_t>(next(0x22));
                if ((c.effect == 0x0B || c.effect == 0x0D) && next(8) != 0) c.effect = 0;
                c.parameter = static_cast<uint8_t>(next(256));
            }
        }
        m.patterns.push_back(pattern);
    }
    // The empty instrument is left out: its notes would start voices on no sample data.
    m.instruments.erase(m.instruments.begin());
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::vector<std::vector<uint8_t>> modules = {
        xmwriter::write(fixtures::rich_module()),
        xmwriter::write(fixtures::sample_module(
            fixtures::make_sample(90, true, xmwriter::SAMPLE_PINGPONG, 0, 90))),
        xmwriter::write(fixtures::sample_module(
            fixtures::make_sample(33, false, xmwriter::SAMPLE_FORWARD, 0, 1))),
        xmwriter::write(effects_module()),
    };
    for (size_t i = 0; i < modules.size(); ++i) {
        const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i) + ".xm";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr ||
            std::fwrite(modules[i].data(), 1, modules[i].size(), file) != modules[i].size()) {
            std::fprintf(stderr, "xm_fuzz_seeds: %s: cannot write\n", path.c_str());
            return 1;
        }
        std::fclose(file);
    }
    return 0;
}
