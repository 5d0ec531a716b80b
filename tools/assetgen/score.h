// score.h -- a small pattern notation for writing the song in code
//
// A track is a string of row tokens separated by spaces:
//   "A-4" "C#5"   a note (octave 0..7) with the track's instrument
//   "^^^"         key off
//   "."  ".N"     one or N empty rows;  "|" is a bar line and takes no row
//   "~N"          N rows continuing a vibrato (effect 4, parameter 00)
// A note may carry suffixes, and a token may be suffixes alone (an effect without a note):
//   "vXX" volume column byte (hex), "iNN" instrument (decimal, 00 for none),
//   "fEPP" effect E (0-9, A-Z) with parameter PP (hex).
#pragma once
#include <string>
#include <vector>

#include "tools/xmwriter/xm_writer.h"

namespace assetgen {

constexpr int CHANNELS = 12;

class Score {
public:
    explicit Score(xmwriter::Module& module) : module_(module) {}

    xmwriter::Cell& at(int pattern, int row, int channel);
    // Writes a track from `row` on; returns the row after the last token.
    int track(int pattern, int channel, int instrument, const std::string& text, int row = 0);
    // Drum steps over 64 rows; a shorter string repeats. 'X' loud, 'x' normal, 'o' soft, '.' rest.
    void steps(int pattern, int channel, int instrument, int note, const std::string& pattern_steps,
               int loud, int normal, int soft);
    // Copies the notes of one channel into another `delay` rows later at volume byte `volume`,
    // without instrument bytes after the first (so the copy keeps its own panning).
    void echo(int pattern, int from, int to, int delay, int volume, int panning);

private:
    xmwriter::Module& module_;
};

int note_number(const std::string& name);  // "C-4" -> 49

}  // namespace assetgen
