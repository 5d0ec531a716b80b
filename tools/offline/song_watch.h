// song_watch.h -- follows a playing song from outside the replay: where each row starts and
// where the song ends
//
// A song ends at the row start after its last row: the replay flags song_looped on the
// first tick of the last row, and the row where the restart takes effect is the end. A row
// start reached through a jump or break to an order at or before the one just played is an
// end too: from there the song can only repeat itself.
#pragma once
#include <cstdint>
#include <vector>

#include "player/xm.h"

namespace offline {

struct RowStart {
    uint64_t frame;  // output frame where the row's first tick begins
    int32_t order;
    int32_t row;
};

// Wraps the song's tick handler until unwatch_song; one song at a time. Call it before
// song_start. With `record_rows` every row start is kept (offline use: it allocates on the
// mixing thread).
void watch_song(player::Song* song, bool record_rows);
void unwatch_song(player::Song* song);

// Frames count from the first tick: mixed frames (sound_mix_frame) for offline rendering,
// device frames (sound_heard_frame) for the heard_* calls.
bool song_ended();
uint64_t song_end_frame();
uint64_t song_end_heard_frame();
bool song_began();
uint64_t song_start_heard_frame();
const std::vector<RowStart>& recorded_rows();
// The last row start heard at or before device frame `frame`; false if none is known.
bool heard_row(uint64_t frame, int32_t& order, int32_t& row);

}  // namespace offline
