// audio.cpp -- the selected audio device and the calls that forward to it

#include "platform/audio.h"
#include "platform/backend.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<const AudioDevice*> selected{nullptr};
// The device audio_open opened, until audio_close: the one position, reset and close go to.
std::atomic<const AudioDevice*> opened{nullptr};
const char* no_device_error = "no audio device selected";
const char* device_open_error = "another audio device is open; close the sound first";
std::atomic<const char*> open_error{""};
std::atomic<uint32_t> ring_writes{0};

}  // namespace

bool audio_set_device(const AudioDevice* device)
{
    const AudioDevice* open = opened.load(std::memory_order_acquire);
    if (open != nullptr && open != device) {
        open_error.store(device_open_error);
        return false;
    }
    selected.store(device, std::memory_order_release);
    return true;
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
    // A device open already is the chosen one (the choice is refused while one is open); its
    // own open lets go of the old ring first.
    const bool done = device->open(rate, ring, ring_bytes);
    opened.store(done ? device : nullptr, std::memory_order_release);
    open_error.store(done ? "" : device->error());
    return done;
}

bool audio_is_open()
{
    return opened.load(std::memory_order_acquire) != nullptr;
}

uint64_t audio_position()
{
    const AudioDevice* device = opened.load(std::memory_order_acquire);
    if (device == nullptr) device = audio_device();
    return device != nullptr ? device->position() : 0;
}

void audio_reset()
{
    if (const AudioDevice* device = opened.load(std::memory_order_acquire)) device->reset();
}

void audio_close()
{
    if (const AudioDevice* device = opened.exchange(nullptr, std::memory_order_acq_rel))
        device->close();
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
