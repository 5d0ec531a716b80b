// score.cpp -- the pattern notation's reader
#include "tools/assetgen/score.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

#include "player/replay/effects.h"

namespace assetgen {

namespace {

int hex(const std::string& s)
{
    return static_cast<int>(std::stoul(s, nullptr, 16));
}

int effect_number(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    throw std::runtime_error(std::string("bad effect ") + c);
}

}  // namespace

int note_number(const std::string& name)
{
    static const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                    "F#", "G-", "G#", "A-", "A#", "B-"};
    for (int k = 0; k < 12; ++k)
        if (name.compare(0, 2, names[k]) == 0) return 12 * (name[2] - '0') + k + 1;
    throw std::runtime_error("bad note " + name);
}

xmwriter::Cell& Score::at(int pattern, int row, int channel)
{
    return module_.patterns.at(static_cast<size_t>(pattern)).at(row, channel, CHANNELS);
}

int Score::track(int pattern, int channel, int instrument, const std::string& text, int row)
{
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        if (token == "|") continue;
        if (token[0] == '.') {
            row += token.size() > 1 ? std::stoi(token.substr(1)) : 1;
            continue;
        }
        if (token[0] == '~') {
            const int n = std::stoi(token.substr(1));
            for (int k = 0; k < n; ++k) {
                xmwriter::Cell& c = at(pattern, row++, channel);
                c.effect = player::EFFECT_VIBRATO;
                c.parameter = 0;
            }
            continue;
        }
        if (row > 63) throw std::runtime_error("track runs past row 63: " + text);
        xmwriter::Cell& c = at(pattern, row, channel);
        size_t pos = 0;
        if (token.compare(0, 3, "^^^") == 0) {
            c.note = 97;
            pos = 3;
        } else if (std::isupper(static_cast<unsigned char>(token[0]))) {
            c.note = static_cast<uint8_t>(note_number(token.substr(0, 3)));
            c.instrument = static_cast<uint8_t>(instrument);
            pos = 3;
        }
        while (pos < token.size()) {
            const char kind = token[pos];
            if (kind == 'v') {
                c.volume = static_cast<uint8_t>(hex(token.substr(pos + 1, 2)));
                pos += 3;
            } else if (kind == 'i') {
                c.instrument = static_cast<uint8_t>(std::stoi(token.substr(pos + 1, 2)));
                pos += 3;
            } else if (kind == 'f') {
                c.effect = static_cast<uint8_t>(effect_number(token[pos + 1]));
                c.parameter = static_cast<uint8_t>(hex(token.substr(pos + 2, 2)));
                pos += 4;
            } else {
                throw std::runtime_error("bad token " + token);
            }
        }
        ++row;
    }
    return row;
}

void Score::steps(int pattern, int channel, int instrument, int note, const std::string& s,
                  int loud, int normal, int soft)
{
    for (int row = 0; row < 64; ++row) {
        const char c = s[static_cast<size_t>(row) % s.size()];
        if (c == '.') continue;
        xmwriter::Cell& cell = at(pattern, row, channel);
        cell.note = static_cast<uint8_t>(note);
        cell.instrument = static_cast<uint8_t>(instrument);
        cell.volume = static_cast<uint8_t>(0x10 + (c == 'X' ? loud : (c == 'x' ? normal : soft)));
    }
}

void Score::echo(int pattern, int from, int to, int delay, int volume, int panning)
{
    bool first = true;
    for (int row = 0; row + delay < 64; ++row) {
        const xmwriter::Cell src = at(pattern, row, from);
        if (src.note == 0 || src.note == 97) continue;
        xmwriter::Cell& dst = at(pattern, row + delay, to);
        dst.note = src.note;
        dst.volume = static_cast<uint8_t>(volume);
        if (first) {
            dst.instrument = src.instrument;
            dst.effect = player::EFFECT_SET_PANNING;
            dst.parameter = static_cast<uint8_t>(panning);
            first = false;
        } else if (src.effect == player::EFFECT_TONE_PORTA) {
            dst.effect = src.effect;
            dst.parameter = src.parameter;
        }
    }
}

}  // namespace assetgen
