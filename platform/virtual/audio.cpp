// audio.cpp -- the virtual audio device, whose cursor moves only when told

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/virtual/virtual_audio.h"

namespace platform {

namespace {

struct VirtualAudio {
    const uint8_t* ring = nullptr;
    uint32_t ring_bytes = 0;
    // The mixing thread reads the cursor while the driver moves it; the release store after
    // the copy keeps a chunk from being refilled while it is still being copied out.
    std::atomic<uint64_t> position{0};
    std::atomic<bool> fail_open{false};
    const char* error = "";
};

VirtualAudio state;

bool virtual_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    if (state.fail_open.load()) {
        state.error = "the virtual device was told to fail";
        return false;
    }
    // Whole frames only: the cursor always stays on a frame boundary.
    if (rate <= 0 || ring == nullptr || ring_bytes < 4 || ring_bytes % 4 != 0) {
        state.error = "bad ring or rate";
        return false;
    }
    state.ring = ring;
    state.ring_bytes = ring_bytes;
    state.position.store(0, std::memory_order_release);
    state.error = "";
    return true;
}

uint64_t virtual_position()
{
    return state.position.load(std::memory_order_acquire);
}

void virtual_reset() {}

void virtual_close()
{
    state.ring = nullptr;
    state.ring_bytes = 0;
}

const char* virtual_error()
{
    return state.error;
}

constexpr AudioDevice virtual_device{virtual_open, virtual_position, virtual_reset, virtual_close,
                                     virtual_error};

}  // namespace

const AudioDevice* virtual_audio_device()
{
    return &virtual_device;
}

void virtual_audio_advance(uint32_t frames, int16_t* destination)
{
    if (state.ring == nullptr) return;
    uint64_t position = state.position.load(std::memory_order_relaxed);
    if (destination != nullptr) {
        audio_ring_acquire();
        auto* out = reinterpret_cast<uint8_t*>(destination);
        uint64_t at = position;
        uint64_t left = static_cast<uint64_t>(frames) * 4;
        while (left > 0) {
            const uint32_t offset = static_cast<uint32_t>(at % state.ring_bytes);
            const uint64_t run = std::min<uint64_t>(left, state.ring_bytes - offset);
            std::memcpy(out, state.ring + offset, run);
            out += run;
            at += run;
            left -= run;
        }
    }
    position += static_cast<uint64_t>(frames) * 4;
    state.position.store(position, std::memory_order_release);
}

void virtual_audio_fail_open(bool fail)
{
    state.fail_open.store(fail);
}

bool virtual_audio_is_open()
{
    return state.ring != nullptr;
}

}  // namespace platform
