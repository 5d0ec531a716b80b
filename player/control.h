// control.h -- starting and stopping songs, tempo, and where the song is
#pragma once
#include <cstdint>

#include "player/xm.h"

namespace player {

// song_start (player.h) restarts the song from order 0 with fresh channels bound to the voice
// pool and links it into the playing list. False for a null song, more channels than voices,
// or no memory. Without a voice pool the song waits, linked but silent, until sound_open
// binds it.

// Binds channel i to voice i of the current pool (none while the sound is closed).
void song_bind_voices(Song* song);
// samples_per_tick for `bpm` at the current output rate; a bpm below 1 counts as 1.
void song_set_bpm(Song* song, int32_t bpm);
int32_t song_order(const Song* song);
int32_t song_row(const Song* song);

// Called by the replay where a row starts, once the song's order and row are the new row's:
// `left_order` is the order it played before, `order_given` whether a new order was set
// (a jump, a break or the move to the next order). Tells the song's listener.
void song_row_started(Song* song, int32_t left_order, bool order_given);

// Takes `song` off the music-position register if it is the one there (song_free).
void forget_music_song(const Song* song);

// The head of the playing-songs list the mixing thread walks.
Song* playing_songs();

}  // namespace player
