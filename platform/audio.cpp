// audio.cpp -- the selected audio device and the calls that forward to it

#include "platform/audio.h"
#include "platform/backend.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<const AudioDevice*> selected{nullptr};
const char* no_device_error = "no audio device selected";
std::atomic<const char*> open_error{""};
std::atomic<uint32_t> ring_writes{0};

}  // namespace

void audio_set_device(const AudioDevice* device)
{
    selected.store(device, std::memory_order_release);
}

const AudioDevice* audio_device()
{
    return selected.load(std::memory_order_acquire);
}

bool audio_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    const AudioDevice* device = audio_device();
    if (device == nullptr) {
        open_error.store(no_device_error);
        return false;
    }
    const bool opened = device->open(rate, ring, ring_bytes);
    open_error.store(opened ? "" : device->error());
    return opened;
}

uint64_t audio_position()
{
    const AudioDevice* device = audio_device();
    return device != nullptr ? device->position() : 0;
}

void audio_reset()
{
    if (const AudioDevice* device = audio_device()) device->reset();
}

void audio_close()
{
    if (const AudioDevice* device = audio_device()) device->close();
}

const char* audio_error()
{
    return open_error.load();
}

void audio_ring_written()
{
    ring_writes.fetch_add(1, std::memory_order_release);
}

void audio_ring_acquire()
{
    (void)ring_writes.load(std::memory_order_acquire);
}

uint64_t backend::widen_position(uint64_t position, uint32_t reported)
{
    // The difference taken in 32 bits is the distance moved, across a wrap as well.
    return position + static_cast<uint32_t>(reported - static_cast<uint32_t>(position));
}

}  // namespace platform
