// exclusion.h -- keeping the mixing thread out while songs and samples are changed
//
// The loader and the player control need this and nothing else of the sound output.
#pragma once

namespace player {

// Keeps the mixing thread out of its critical section: waits until no chunk is being
// rendered and holds the next one off until the guard ends. Starting, stopping and freeing
// songs and samples happen under it. Nests, also on the thread filling a chunk: a tick
// handler may stop songs.
class MixerExclusion {
public:
    MixerExclusion();
    ~MixerExclusion();
    MixerExclusion(const MixerExclusion&) = delete;
    MixerExclusion& operator=(const MixerExclusion&) = delete;
};

// True on the thread that is filling a chunk (inside a tick handler), which goes on using
// the playing songs after the handler returns: song_free refuses to run there.
bool filling_chunk_here();

}  // namespace player
