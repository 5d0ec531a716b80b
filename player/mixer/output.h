// output.h -- the sound device, the mixing thread and its ring of chunks
#pragma once
#include <cstdint>

namespace player {

// Milliseconds of buffering, rounded down to a multiple of 20 (at least 20); the ring holds
// twice that. Takes effect at the next sound_open.
bool sound_set_buffer_time(int32_t milliseconds);
// Opens the audio device at `rate` (16-bit stereo), creates the voice pool and starts the
// mixing thread. False without stream callbacks, device or memory.
bool sound_open(int32_t rate);
void sound_close();

// Keeps the mixing thread out of its critical section: waits until no chunk is being
// rendered and holds the next one off until the guard ends. Starting, stopping and freeing
// songs and samples happen under it. Nests.
class MixerExclusion {
public:
    MixerExclusion();
    ~MixerExclusion();
    MixerExclusion(const MixerExclusion&) = delete;
    MixerExclusion& operator=(const MixerExclusion&) = delete;
};

}  // namespace player
