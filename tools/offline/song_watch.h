// song_watch.h -- keeps what a playing song tells of itself: where each row starts and where
// the song first ends (the SONG_ENDED of player.h: the restart after the last order, or a
// jump or break back)
#pragma once
#include <cstdint>
#include <vector>

#include "player/player.h"

namespace offline {

struct RowStart {
    uint64_t frame;  // output frame where the row's first tick begins
    int32_t order;
    int32_t row;
};

// Listens to the song until unwatch_song; one song at a time. Call it before song_start.
// With `record_rows` every row start is kept (offline use: it allocates on the mixing thread).
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
