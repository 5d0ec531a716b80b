// song.cpp -- the show's music: 19 orders in A minor at 118 BPM, composed against the scenes
//
// Section changes fall where the scenes change (orders 5, 7, 8, 9, 11, 14, 18). Order 4
// carries hits on the rows the crystal flashes on, orders 5 to 7 big hits where it pulses
// (rows 0, 29, 32), and orders 14 to 17 chord stabs on the rows the two pictures swap on.
#include <algorithm>
#include <map>
#include <string>

#include "player/replay/effects.h"
#include "tools/assetgen/score.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

// Channels.
constexpr int KICK = 0, SNARE = 1, HAT = 2, BASS = 3, PAD1 = 4, PAD2 = 5, PAD3 = 6, LEAD = 7,
              ARP = 8, PERC = 9, ECHO = 10, FX = 11;

// Instruments, numbered as in the file.
constexpr int I_KICK = 1, I_SNARE = 2, I_CHAT = 3, I_OHAT = 4, I_CLAP = 5, I_TOM = 6, I_CRASH = 7,
              I_SHAKER = 8, I_SUB = 9, I_PBASS = 10, I_STRINGS = 11, I_CHOIR = 12, I_SQUARE = 13,
              I_SAW = 14, I_PLUCK = 15, I_STAB = 16, I_BELL = 17, I_EPIANO = 18, I_ORCH = 19,
              I_RISER = 20, I_ZAP = 21, I_WIND = 22, I_GLASS = 23, I_RIM = 24, I_BRASS = 25,
              I_DROP = 26, I_ROLL = 27;

const int C4_NOTE = 49;

struct Chord {
    int root;                // pitch class, C = 0
    std::vector<int> upper;  // pitch classes the pads voice (rootless for sevenths)
    bool minor;
};

const std::map<std::string, Chord>& chords()
{
    static const std::map<std::string, Chord> table = {
        {"Am", {9, {9, 0, 4}, true}},   {"F", {5, {5, 9, 0}, false}},
        {"C", {0, {0, 4, 7}, false}},   {"G", {7, {7, 11, 2}, false}},
        {"Dm", {2, {2, 5, 9}, true}},   {"Em", {4, {4, 7, 11}, true}},
        {"E", {4, {4, 8, 11}, false}},  {"Fmaj7", {5, {9, 0, 4}, false}},
        {"Em7", {4, {7, 11, 2}, true}}, {"Dm7", {2, {5, 9, 0}, true}},
    };
    return table;
}

using Progression = std::vector<std::string>;  // one chord per bar of 16 rows

// Note number of pitch class `pc` in the window [low, low + 12).
int in_window(int pc, int low)
{
    return low + ((pc - (low - 1)) % 12 + 12) % 12;
}

class Song {
public:
    explicit Song(xmwriter::Module& m) : s_(m) {}

    xmwriter::Cell& at(int p, int row, int ch) { return s_.at(p, row, ch); }
    void effect(int p, int row, int ch, int fx, int param)
    {
        xmwriter::Cell& c = at(p, row, ch);
        c.effect = static_cast<uint8_t>(fx);
        c.parameter = static_cast<uint8_t>(param);
    }
    void hit(int p, int row, int ch, int ins, int note, int volume)
    {
        xmwriter::Cell& c = at(p, row, ch);
        c.note = static_cast<uint8_t>(note);
        c.instrument = static_cast<uint8_t>(ins);
        c.volume = static_cast<uint8_t>(0x10 + volume);
    }
    void key_off(int p, int row, int ch) { at(p, row, ch).note = 97; }

    // Three-voice pad chords on PAD1..PAD3, one per bar, spread left, centre and right.
    void pads(int p, int ins, const Progression& prog, int volume, int low = 43)
    {
        const int pans[3] = {0x20, 0x80, 0xE0};
        for (size_t bar = 0; bar < prog.size(); ++bar) {
            const Chord& c = chords().at(prog[bar]);
            for (int v = 0; v < 3; ++v) {
                const int row = static_cast<int>(bar) * 16;
                hit(p, row, PAD1 + v, ins, in_window(c.upper[static_cast<size_t>(v)], low), volume);
                effect(p, row, PAD1 + v, player::EFFECT_SET_PANNING, pans[v]);
            }
        }
    }

    // Bass on the chord roots; rhythm characters: 'R' root, 'O' root an octave up, '5' the fifth.
    void bass(int p, int ins, const Progression& prog, const std::string& rhythm, int volume,
              int low = 18)
    {
        for (int row = 0; row < 64; ++row) {
            const char r = rhythm[static_cast<size_t>(row) % rhythm.size()];
            if (r == '.') continue;
            const Chord& c = chords().at(prog[static_cast<size_t>(row / 16)]);
            int n = in_window(c.root, low);
            if (r == 'O') n += 12;
            if (r == '5') n += 7;
            if (r == '^') {
                key_off(p, row, BASS);
                continue;
            }
            hit(p, row, BASS, ins, n, volume);
        }
    }

    // Tick arpeggios over each chord from its root, on the rows the rhythm marks.
    void arp(int p, int ch, int ins, const Progression& prog, const std::string& rhythm, int loud,
             int soft, int low = 55)
    {
        for (int row = 0; row < 64; ++row) {
            const char r = rhythm[static_cast<size_t>(row) % rhythm.size()];
            if (r == '.') continue;
            const Chord& c = chords().at(prog[static_cast<size_t>(row / 16)]);
            hit(p, row, ch, ins, in_window(c.root, low), r == 'X' ? loud : soft);
            effect(p, row, ch, player::EFFECT_ARPEGGIO, c.minor ? 0x37 : 0x47);
        }
    }

    // A snare fill over the last half bar that leads into the next section.
    void fill(int p)
    {
        const int rows[6] = {56, 58, 60, 61, 62, 63};
        const int volumes[6] = {28, 32, 40, 34, 44, 50};
        for (int row = 56; row < 64; ++row) at(p, row, SNARE) = {};
        for (int k = 0; k < 6; ++k) hit(p, rows[k], SNARE, I_SNARE, C4_NOTE, volumes[k]);
        effect(p, 61, SNARE, player::EFFECT_EXTENDED,
               0xD2);  // a late ghost note pushes the fill forward
    }

    void track(int p, int ch, int ins, const std::string& text, int row = 0)
    {
        s_.track(p, ch, ins, text, row);
    }
    void steps(int p, int ch, int ins, const std::string& s, int loud, int normal, int soft,
               int note = C4_NOTE)
    {
        s_.steps(p, ch, ins, note, s, loud, normal, soft);
    }
    void echo(int p, int from, int to, int delay, int volume, int pan)
    {
        s_.echo(p, from, to, delay, volume, pan);
    }

private:
    Score s_;
};

const Progression MAIN = {"Am", "F", "C", "G"};

const std::string MELODY_A =
    "E-5 .5 D-5 . C-5 .3 D-5 . E-5 . | C-5 .5 A-4 . C-5 .3 F-5 .3 | "
    "E-5 .5 D-5 . E-5 .3 G-5 .3 | D-5f444 ~7 B-4 .3 D-5 .2 ^^^";
const std::string MELODY_A2 =
    "E-5 .3 A-5 .3 G-5 . E-5 .3 D-5 . | C-5 .3 F-5 .3 E-5 . C-5 .3 A-4 . | "
    "G-4 .3 C-5 .3 E-5 .3 G-5 .3 | G-5 .5 A-5 . B-5f446 ~6 ^^^";

// Order 0: the pads swell in under the wind while the global volume rises.
void intro(Song& s, int p)
{
    s.effect(p, 0, KICK, player::EFFECT_SPEED_TEMPO, 6);
    s.effect(p, 0, SNARE, player::EFFECT_SPEED_TEMPO, 118);
    s.effect(p, 0, HAT, player::EFFECT_GLOBAL_VOLUME, 0x10);
    // Up from 16 by 5 a row to 56, which leaves the loudest hits of the song a little headroom.
    for (int row = 0; row < 8; ++row)
        s.effect(p, row, PERC, player::EFFECT_GLOBAL_VOLUME_SLIDE, 0x10);
    s.hit(p, 0, FX, I_WIND, C4_NOTE, 40);
    s.pads(p, I_STRINGS, MAIN, 28);
    s.track(p, LEAD, I_BELL,
            ".4 E-5v38 .5 A-5v30 . B-5v30 . C-6v34 . | .4 A-5v34 .5 F-5v28 . E-5v30 .3 | "
            ".4 G-5v34 .5 E-5v28 . C-5v30 .3 | .4 D-5v34 .3 B-4v28 .3 G-4v28 .3");
    s.echo(p, LEAD, ECHO, 3, 0x1C, 0xF0);
    s.track(p, BASS, I_SUB, "A-1v30 .15 F-1v30 .15 C-2v30 .15 G-1v30 .14 ^^^");
    s.hit(p, 54, PERC, I_RISER, C4_NOTE, 36);
}

// Orders 1 to 3: the groove assembles itself one layer per order.
void build_layers(Song& s, int p, int layer)
{
    s.pads(p, I_STRINGS, MAIN, layer == 1 ? 30 : 26);
    s.arp(p, ARP, I_PLUCK, MAIN, layer == 1 ? "X.x.x.x.X.x.x.x." : "X.xxX.xxX.xxX.xx", 30, 20);
    s.steps(p, HAT, I_CHAT, layer == 1 ? "..x...x...x...x." : "o.x.o.x.o.x.o.xo", 28, 22, 12);
    if (layer == 1) {
        s.hit(p, 0, PERC, I_DROP, C4_NOTE, 56);
        s.key_off(p, 48, FX);
        s.track(p, LEAD, I_BELL,
                ".4 E-5v38 .5 A-5v30 . B-5v30 . C-6v34 . | .4 C-6v34 .5 A-5v28 . F-5v30 .3 | "
                ".4 G-5v34 .5 E-5v28 . G-5v30 .3 | .4 B-5v34 .3 G-5v28 .3 D-5v28 .3");
        s.echo(p, LEAD, ECHO, 3, 0x1C, 0xF0);
        s.track(p, BASS, I_SUB, "A-1v34 .15 F-1v34 .15 C-2v34 .15 G-1v34 .14 ^^^");
    }
    if (layer >= 2) {
        s.steps(p, KICK, I_KICK, layer == 2 ? "x...x...x...x..." : "X...x...x...x..x", 56, 48, 34);
        s.bass(p, layer == 2 ? I_SUB : I_PBASS, MAIN,
               layer == 2 ? "..R...R...R...R." : "R.RO.RR.R.RO.R5O", layer == 2 ? 40 : 36,
               layer == 2 ? 18 : 30);
        s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 36);
    }
    if (layer == 3) {
        s.steps(p, SNARE, I_CLAP, "....x.......x...", 50, 48, 30);
        s.steps(p, PERC, I_OHAT, "..x...x...x...x.", 24, 20, 14);
        s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 40);
        // A choir line answers the text, one long note per chord.
        s.track(p, ECHO, I_CHOIR, "E-5v24f8A0 .15 | C-5v24 .15 | E-5v24 .15 | D-5v24 .13 ^^^ .");
        s.track(p, LEAD, I_SQUARE,
                ".32 G-4v20 . A-4v20 . C-5v24 .3 B-4v24 .3 | G-4v24 .3 A-4v20 .3 B-4v24 .3 D-5v28 "
                ".2 ^^^");
        s.fill(p);
    }
}

// Order 4: the build. Hits land on the rows the crystal flashes on, the last bar is a fill.
void accents(Song& s, int p)
{
    const Progression prog = {"Dm", "F", "G", "E"};
    s.pads(p, I_STRINGS, prog, 30);
    s.bass(p, I_SUB, prog, "R...............", 42);
    s.steps(p, HAT, I_CHAT, "x.x.x.x.x.x.x.x.", 26, 22, 12);
    s.steps(p, SNARE, I_SNARE, "........x.......", 50, 50, 50);
    const int beat_rows[10] = {4, 20, 36, 44, 52, 55, 57, 60, 62, 63};
    // Major hits: F over D minor and F, G, then E, the dominant the drop resolves.
    const int hit_notes[10] = {54, 54, 56, 56, 53, 53, 53, 53, 53, 53};
    for (int k = 0; k < 10; ++k) {
        const int row = beat_rows[k];
        s.hit(p, row, PERC, I_ORCH, hit_notes[k], k < 4 ? 52 : 44 + k);
        s.hit(p, row, KICK, I_KICK, C4_NOTE, 60);
    }
    for (int row : {0, 16, 32, 48}) s.hit(p, row, KICK, I_KICK, C4_NOTE, 50);
    for (int row : {4, 20, 36}) s.hit(p, row, FX, I_CRASH, C4_NOTE, 40);
    // The fill: toms fall away under the last hits, the roll climbs.
    const int tom_rows[6] = {52, 55, 57, 60, 62, 63};
    const int tom_notes[6] = {49, 46, 44, 41, 39, 37};
    for (int k = 0; k < 6; ++k) s.hit(p, tom_rows[k], FX, I_TOM, tom_notes[k], 50);
    for (int row = 48; row < 64; ++row) {
        if (row == 56) continue;
        s.hit(p, row, SNARE, I_ROLL, C4_NOTE, 16 + (row - 48) * 2);
    }
    s.track(p, ECHO, I_CHOIR, "D-5v28 .15 | C-5v28 .15 | D-5v28 .13 ^^^ .");
    s.hit(p, 54, ECHO, I_RISER, C4_NOTE, 40);
    s.hit(p, 20, LEAD, I_ZAP, 61, 34);
    s.effect(p, 20, LEAD, player::EFFECT_PORTA_DOWN, 0x08);
    s.effect(p, 21, LEAD, player::EFFECT_PORTA_DOWN, 0x00);
    s.hit(p, 44, LEAD, I_ZAP, 61, 34);
    s.effect(p, 44, LEAD, player::EFFECT_PORTA_DOWN, 0x10);
}

// Orders 5 to 7 and the finale: the full groove. Big hits on rows 0, 29 and 32.
void groove(Song& s, int p, const Progression& prog, bool pulses)
{
    s.steps(p, KICK, I_KICK, "X...x...x...x...", 54, 50, 40);
    s.steps(p, SNARE, I_CLAP, "....x.......x...", 54, 54, 30);
    s.steps(p, HAT, I_CHAT, "o.x.o.x.o.xoo.x.", 30, 26, 16);
    s.bass(p, I_PBASS, prog, "R.RO.RR.R.RO.R5O", 38, 30);
    s.arp(p, ARP, I_PLUCK, prog, "X.xxX.xxX.xxX.xx", 22, 14, 60);
    if (pulses) {
        s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 44);
        s.hit(p, 0, FX, I_DROP, C4_NOTE, 50);
        s.hit(p, 29, FX, I_ORCH, in_window(chords().at(prog[1]).root, 49), 52);
        s.hit(p, 29, KICK, I_KICK, C4_NOTE, 54);
        s.hit(p, 32, FX, I_ORCH, in_window(chords().at(prog[2]).root, 49), 56);
        s.hit(p, 32, PERC, I_CRASH, C4_NOTE, 40);
    }
    for (int row = 2; row < 64; row += 4)
        if (!s.at(p, row, PERC).note) s.hit(p, row, PERC, I_OHAT, C4_NOTE, 18);
}

void drop(Song& s, int p)
{
    groove(s, p, MAIN, true);
    s.pads(p, I_STRINGS, MAIN, 22);
    s.track(p, LEAD, I_SAW, MELODY_A);
    s.echo(p, LEAD, ECHO, 3, 0x22, 0xF0);
    s.fill(p);
}

void drop_again(Song& s, int p)
{
    groove(s, p, MAIN, true);
    s.pads(p, I_STRINGS, MAIN, 22);
    s.track(p, LEAD, I_SAW, MELODY_A2);
    s.echo(p, LEAD, ECHO, 3, 0x22, 0xF0);
    s.fill(p);
    s.effect(p, 63, FX, player::EFFECT_PATTERN_BREAK,
             0);  // on to the next order, as the rows would anyway
}

// Order 7: the B section under the mask fade; choir and a singing square lead.
void b_section(Song& s, int p)
{
    const Progression prog = {"F", "G", "Em", "Am"};
    groove(s, p, prog, true);
    s.steps(p, SNARE, I_SNARE, "....x.......x..o", 54, 54, 20);
    s.effect(p, 15, SNARE, player::EFFECT_SAMPLE_OFFSET,
             0x04);  // ghost notes start into the snare's tail
    s.effect(p, 47, SNARE, player::EFFECT_SAMPLE_OFFSET, 0x04);
    s.pads(p, I_CHOIR, prog, 24, 48);
    s.track(p, LEAD, I_SQUARE,
            "A-5f446 ~7 G-5 .3 F-5 .3 | G-5f446 ~7 D-5 .3 B-4 .3 | "
            "E-5 .5 G-5 . B-5f446 ~5 A-5 . | A-5f446 ~11 ^^^ . E-5 .");
    for (int row = 52; row < 60; ++row)
        s.at(p, row, LEAD).volume = 0x61;  // the long note fades as it sings
    s.echo(p, LEAD, ECHO, 3, 0x20, 0xF0);
    s.fill(p);
}

// Order 8: a half-time bridge. The saw lead glides, the e-piano comps on the off-beats.
void bridge(Song& s, int p)
{
    const Progression prog = {"Dm", "G", "C", "F"};
    s.steps(p, KICK, I_KICK, "X.........x.....", 58, 50, 40);
    s.steps(p, SNARE, I_SNARE, "........X.......", 52, 52, 30);
    s.steps(p, HAT, I_SHAKER, "x.o.x.o.x.o.x.oo", 28, 26, 16);
    s.steps(p, PERC, I_RIM, "......x.......x.", 26, 26, 20);
    s.bass(p, I_SUB, prog, "R.......R..R....", 42);
    s.pads(p, I_STRINGS, prog, 24);
    s.arp(p, ARP, I_EPIANO, prog, "..x...x...x...x.", 30, 30, 55);
    s.track(p, LEAD, I_SAW,
            "F-5 .7 A-5f306 f300 .6 | G-5f306 f300 .6 D-5 .3 B-4 .3 | "
            "C-5f304 f300 f300 .5 E-5 .3 G-5 .3 | A-5f308 f300 .6 C-6f308 f300 f300 .3 ^^^ .");
    s.echo(p, LEAD, ECHO, 3, 0x20, 0xF0);
    s.hit(p, 0, FX, I_CRASH, C4_NOTE, 36);
    s.hit(p, 56, FX, I_RISER, C4_NOTE, 30);
    s.effect(p, 56, FX, player::EFFECT_SAMPLE_OFFSET,
             0x10);  // start the riser part-way in: a shorter swell
}

// Orders 9 and 10: the swirl scene at full tilt.
void swirl(Song& s, int p, bool second)
{
    const Progression prog = second ? Progression{"Am", "F", "G", "E"} : MAIN;
    groove(s, p, prog, false);
    s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 44);
    s.pads(p, I_CHOIR, prog, 22, 48);
    // Shaker swung a little late on the off-beats and swept across the stereo field.
    for (int row = 0; row < 64; row += 2) {
        s.hit(p, row, FX, I_SHAKER, C4_NOTE, row % 4 ? 24 : 16);
        if (row % 4 == 2)
            s.effect(p, row, FX, player::EFFECT_EXTENDED, 0xD1);
        else
            s.effect(p, row, FX, player::EFFECT_PANNING_SLIDE, (row / 8) % 2 ? 0x04 : 0x40);
    }
    if (!second) {
        s.track(p, LEAD, I_SQUARE, MELODY_A);
        s.fill(p);
    } else {
        s.track(p, LEAD, I_SQUARE,
                "A-5 .3 C-6 .3 B-5 . A-5 .3 E-5 . | F-5 .3 A-5 .3 G-5 . F-5 .3 E-5 . | "
                "D-5 .3 G-5 .3 B-5 .3 D-6 .3 | B-5f446 ~7 G#5 .3 E-5 .2 ^^^");
        // Toms climb into the breakdown, the last one sliding up.
        const int rows[6] = {56, 58, 59, 60, 62, 63};
        for (int k = 0; k < 6; ++k) s.hit(p, rows[k], PERC, I_TOM, 37 + k * 3, 48);
        s.effect(p, 63, PERC, player::EFFECT_PORTA_UP, 0x20);
        s.effect(p, 60, PAD1, player::EFFECT_KEY_OFF, 0);  // the choir lets go before the break
        s.effect(p, 60, PAD2, player::EFFECT_KEY_OFF, 0);
        s.effect(p, 60, PAD3, player::EFFECT_KEY_OFF, 0);
    }
    s.echo(p, LEAD, ECHO, 3, 0x20, 0xF0);
}

// Orders 11 and 12: the dot cloud. A breakdown on glass, bells and e-piano.
void breakdown(Song& s, int p, bool second)
{
    const Progression prog =
        second ? Progression{"Fmaj7", "Em7", "Dm7", "E"} : Progression{"Fmaj7", "Em7", "Dm7", "Am"};
    s.pads(p, I_GLASS, prog, 26, 52);
    s.bass(p, I_SUB, prog, "R.......R.......", 42);
    s.steps(p, HAT, I_SHAKER, "..o...x...o...x.", 22, 20, 12);
    s.steps(p, SNARE, I_RIM, "....x.......x..o", 26, 26, 16);
    for (int row = 0; row < 64; row += 2) {
        const Chord& c = chords().at(prog[static_cast<size_t>(row / 16)]);
        const std::vector<int>& t = c.upper;
        const int n = in_window(t[static_cast<size_t>((row / 2) % 3)], 55);
        s.hit(p, row, ARP, I_EPIANO, n, 24);
        // Set volume as an effect: every other note a little brighter.
        if ((row / 2) % 4 == 0) s.effect(p, row, ARP, player::EFFECT_SET_VOLUME, 30);
    }
    if (!second) {
        s.track(p, LEAD, I_BELL,
                "C-6v38 .5 B-5v30 . A-5v34 .3 E-5v30 .3 | B-5v38 .5 G-5v30 . E-5v34 .3 D-5v30 .3 | "
                "A-5v38 .5 F-5v30 . C-5v34 .3 D-5v30 .3 | E-5v38 .7 C-5v30 .3 A-4v30 .3");
        s.hit(p, 0, FX, I_WIND, C4_NOTE, 30);
        s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 30);
    } else {
        s.steps(p, KICK, I_KICK, "x...x...x...x...", 44, 44, 30);
        s.track(
            p, LEAD, I_BELL,
            "E-6v38 .3 C-6v30 .3 A-5v34 .3 G-5v30 .3 | D-6v38 .3 B-5v30 .3 G-5v34 .3 E-5v30 .3 | "
            "C-6v38 .3 A-5v30 .3 F-5v34 .3 D-5v30 .3 | B-5v38 .3 G#5v30 .3 E-5v34 .3 B-4v30 .3");
        s.key_off(p, 48, FX);
    }
    s.echo(p, LEAD, ECHO, 3, 0x1C, 0xF0);
}

// Order 13: the build to the strobes. A stop for the three words on rows 28 to 30, then a roll
// that stutters on its last two rows (pattern loop: rows 62 and 63 play three times).
void build_up(Song& s, int p)
{
    const Progression prog = {"Dm", "Dm", "E", "E"};
    s.pads(p, I_STRINGS, prog, 26);
    for (int row = 16; row < 28; row += 2)
        // The pads sink towards the stop.
        for (int ch = PAD1; ch <= PAD3; ++ch)
            s.effect(p, row, ch, player::EFFECT_VOLUME_SLIDE, 0x01);
    s.bass(p, I_SUB, prog, "R...R...R...R...", 44);
    for (int row = 28; row < 32; ++row) s.at(p, row, BASS) = {};
    s.key_off(p, 28, BASS);
    s.steps(p, KICK, I_KICK, "x...x...x...x...", 52, 52, 40);
    for (int row = 28; row < 32; ++row) s.at(p, row, KICK) = {};
    s.steps(p, HAT, I_CHAT, "x.x.x.x.x.x.x.x.", 24, 24, 12);
    for (int row = 28; row < 32; ++row) s.at(p, row, HAT) = {};
    s.hit(p, 28, PERC, I_ORCH, 53, 60);
    s.hit(p, 28, FX, I_CRASH, C4_NOTE, 44);
    // Cut the pads for the stop.
    for (int ch = PAD1; ch <= PAD3; ++ch) s.effect(p, 28, ch, player::EFFECT_EXTENDED, 0xC2);
    // The roll: eighths, then sixteenths, then retriggered, rising in the volume column.
    for (int row = 0; row < 28; row += 4) s.hit(p, row, SNARE, I_ROLL, C4_NOTE, 20);
    for (int row = 32; row < 48; row += 2) s.hit(p, row, SNARE, I_ROLL, C4_NOTE, 24 + (row - 32));
    for (int row = 48; row < 64; ++row) {
        s.hit(p, row, SNARE, I_ROLL, C4_NOTE, 30 + (row - 48) * 2);
        s.effect(p, row, SNARE, player::EFFECT_EXTENDED, row < 56 ? 0x93 : 0x92);
    }
    s.effect(p, 62, SNARE, player::EFFECT_MULTI_RETRIGGER,
             0x92);  // every other tick, louder each time
    s.effect(p, 63, SNARE, player::EFFECT_MULTI_RETRIGGER, 0x00);
    s.effect(p, 62, PERC, player::EFFECT_EXTENDED, 0x60);
    s.effect(p, 63, PERC, player::EFFECT_EXTENDED, 0x62);
    // A square siren bends up through the last two bars.
    s.hit(p, 32, LEAD, I_SQUARE, note_number("E-4"), 30);
    for (int row = 32; row < 62; ++row)
        s.effect(p, row, LEAD, player::EFFECT_PORTA_UP, row == 32 ? 0x01 : 0x00);
    s.at(p, 33, LEAD).volume = 0x71;
    s.key_off(p, 62, LEAD);
    s.hit(p, 40, FX, I_RISER, C4_NOTE, 30);
    s.hit(p, 52, FX, I_RISER, C4_NOTE, 44);
    // A low saw holds under the pads until the stop: the multi-sample lead's bottom sample.
    s.track(p, ARP, I_SAW, "D-3v24 .15 | F-3v24 .11 ^^^");
    s.track(
        p, ARP, I_ZAP,
        ".32 C-6v30f210 .7 C-6v30f210 .7 C-6v34f210 .3 C-6v34f210 .3 C-6v38f210 . C-6v38f210 .");
}

// Orders 14 to 17: stabs on the rows the two pictures swap on.
void strobes(Song& s, int p, bool second)
{
    const Progression prog =
        second ? Progression{"Am", "F", "E", "E"} : Progression{"Am", "C", "G", "F"};
    const int stab_rows[14] = {4, 9, 12, 20, 25, 28, 36, 39, 41, 44, 57, 60, 62, 63};
    s.steps(p, KICK, I_KICK, "X...x...x...x...", 54, 50, 40);
    s.steps(p, SNARE, I_SNARE, "....x.......x...", 54, 54, 30);
    s.steps(p, HAT, I_CHAT, "xoxoxoxoxoxoxoxo", 28, 26, 16);
    s.bass(p, I_PBASS, prog, "RORORORORORORORO", 36, 30);
    for (int row : stab_rows) {
        const Chord& c = chords().at(prog[static_cast<size_t>(row / 16)]);
        s.hit(p, row, FX, I_STAB, in_window(c.root, 49), 42);
        for (int v = 0; v < 3; ++v) {
            s.hit(p, row, PAD1 + v, I_BRASS, in_window(c.upper[static_cast<size_t>(v)], 50), 24);
            s.effect(p, row, PAD1 + v, player::EFFECT_SET_PANNING, 0x28 + 0x58 * v);
        }
    }
    s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 44);
    s.fill(p);
    for (int row = 2; row < 64; row += 4)
        if (!s.at(p, row, PERC).note) {
            s.hit(p, row, PERC, I_OHAT, C4_NOTE, 20);
            s.effect(p, row, PERC, player::EFFECT_EXTENDED, 0xC4);
        }
    if (second) {
        s.track(p, LEAD, I_SQUARE,
                "E-6v28f444 ~15 | C-6v28f444 ~15 | B-5v28f444 ~15 | G#5v28f444 ~14 ^^^");
        s.echo(p, LEAD, ECHO, 3, 0x18, 0xF0);
    } else {
        s.arp(p, ARP, I_PLUCK, prog, "X.xxX.xxX.xxX.xx", 22, 14, 60);
        // The choir holds each chord's fifth above the stabs.
        for (int bar = 0; bar < 4; ++bar) {
            const Chord& c = chords().at(prog[static_cast<size_t>(bar)]);
            s.hit(p, bar * 16, ECHO, I_CHOIR, in_window(c.root + 7, 55), 30);
            s.effect(p, bar * 16, ECHO, player::EFFECT_SET_PANNING, 0x50);
        }
        s.key_off(p, 62, ECHO);
    }
}

// Order 18: the finale under the last picture; it runs on into order 5 when the song loops.
void finale(Song& s, int p)
{
    groove(s, p, MAIN, false);
    s.hit(p, 0, PERC, I_CRASH, C4_NOTE, 46);
    s.hit(p, 0, FX, I_DROP, C4_NOTE, 50);
    s.pads(p, I_STRINGS, MAIN, 22);
    s.track(p, LEAD, I_SAW, MELODY_A2);
    s.echo(p, LEAD, ECHO, 3, 0x22, 0xF0);
    const int rows[6] = {56, 58, 59, 60, 62, 63};
    for (int k = 0; k < 6; ++k) s.hit(p, rows[k], PERC, I_TOM, 49 - k * 2, 48);
    s.hit(p, 48, FX, I_RISER, C4_NOTE, 34);
}

void compose(xmwriter::Module& m)
{
    Song s(m);
    intro(s, 0);
    build_layers(s, 1, 1);
    build_layers(s, 2, 2);
    build_layers(s, 3, 3);
    accents(s, 4);
    drop(s, 5);
    drop_again(s, 6);
    b_section(s, 7);
    bridge(s, 8);
    swirl(s, 9, false);
    swirl(s, 10, true);
    breakdown(s, 11, false);
    breakdown(s, 12, true);
    build_up(s, 13);
    strobes(s, 14, false);
    strobes(s, 15, true);
    finale(s, 16);
}

}  // namespace

Bytes make_song()
{
    xmwriter::Module m;
    m.name = "quorbela";
    m.tracker = "quorbela assetgen";
    m.channels = CHANNELS;
    m.speed = 6;
    m.bpm = 118;
    m.flags = player::FLAG_LINEAR;
    m.restart = 5;
    m.orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 14, 15, 16};
    m.patterns.resize(17);
    for (xmwriter::Pattern& p : m.patterns) p.at(63, CHANNELS - 1, CHANNELS);  // all 64 x 12 cells
    compose(m);

    // The wind sample takes up whatever room the module has left.
    m.instruments = make_instruments(1);
    const size_t without = xmwriter::write(m).size() - 1;
    if (without >= 431134) return {};
    m.instruments = make_instruments(431134 - without);
    return xmwriter::write(m);
}

}  // namespace assetgen
