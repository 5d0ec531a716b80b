// output.cpp -- the sound device, the mixing thread and its ring of chunks
//
// Only the exclusion with the mixing thread exists so far; the device and the thread come next.

#include "player/mixer/output.h"

#include <atomic>
#include <mutex>

namespace player {

namespace {

struct OutputState {
    std::recursive_mutex render_mutex;  // held by the mixing thread for each chunk
    std::atomic<bool> busy{false};      // set while a chunk renders
};

OutputState state;

}  // namespace

MixerExclusion::MixerExclusion()
{
    while (state.busy.load(std::memory_order_acquire)) {
    }
    state.render_mutex.lock();
}

MixerExclusion::~MixerExclusion()
{
    state.render_mutex.unlock();
}

bool sound_set_buffer_time(int32_t)
{
    return true;
}

bool sound_open(int32_t)
{
    return false;
}

void sound_close() {}

}  // namespace player
