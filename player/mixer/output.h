// output.h -- the sound device, the mixing thread and its ring of chunks
//
// The ring holds ring frames of 16-bit stereo in chunks of about 20 ms. The device (the one
// chosen with platform::audio_set_device) plays it endlessly; the mixing thread refills each
// chunk once the device has left it. One fill pass does that for the thread and for offline
// drivers alike, so both produce the same samples for the same device positions.
#pragma once
#include <cstdint>

#include "player/mixer/exclusion.h"
#include "player/player.h"

namespace player {

// sound_set_buffer_time (player.h) rounds down to a multiple of 20 ms (at least 20) and takes
// effect at the next sound_open.
int32_t sound_buffer_time();

// sound_open (player.h) opens the audio device, creates the voice pool, re-binds the channels
// of playing songs to it and starts the mixing thread; false without stream callbacks,
// device or memory, and it closes whatever was open first. sound_open_offline does the same
// without the thread: the caller drives sound_fill_pass or sound_fill_chunk. sound_close
// ends the thread, stops the device and releases the ring and the voice pool; playing songs
// stay playing and are bound again by the next sound_open. From a tick handler (the thread
// filling a chunk) sound_open and sound_open_offline return false and sound_close does
// nothing.
bool sound_is_open();

// Frames per chunk: rate * 20 / 1000 + 3, rounded down to a multiple of 4 (884 at 44100 Hz).
int32_t chunk_frames_for(int32_t rate);
// Frames in the ring: (buffer time / 20) chunks, twice.
int32_t ring_frames_for(int32_t rate, int32_t buffer_time);
// The fill rule: whether write chunk w is filled while the device plays chunk p of n.
bool chunk_due(int32_t w, int32_t p, int32_t n);

// Of the open sound; 0 while closed (sound_chunk_frames is in player.h).
int32_t sound_ring_frames();
int32_t sound_chunk_count();
const int16_t* sound_ring();  // ring frames of interleaved left, right

// sound_fill_pass and sound_fill_chunk (player.h) fill the write chunk and move on to the
// next one. sound_fill_chunk takes the chunk to be heard right after the one before.
// The float mix of the chunk filled last (chunk frames of left, right) before its conversion
// to 16 bits, for checks that look beneath it (the soak). Null while closed.
const float* sound_last_mix();
// Chunks filled since sound_open.
uint64_t sound_chunks_filled();

// While a chunk fills (on the mixing thread, e.g. inside a tick handler): the frame about to
// be mixed, counted in frames mixed since sound_open, and the device frame (device bytes / 4)
// at which it will be heard. sound_fill_chunk takes the mixed frame count as the device's.
uint64_t sound_mix_frame();
uint64_t sound_heard_frame();

}  // namespace player
