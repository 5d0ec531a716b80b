// audio.h -- the audio device: one ring of 16-bit stereo frames played endlessly, and the
// byte position the device has played up to
//
// Devices are tables of functions chosen at run time, so one program may carry several
// (xmplay plays through SDL and renders offline through the virtual device). Each device
// declares its own factory in its own header and library: platform/sdl/sdl_audio.h,
// platform/virtual/virtual_audio.h, platform/win32/wave_out.h. Nothing is chosen at start:
// without audio_set_device every open fails, as on a machine without sound.
#pragma once
#include <cstdint>

namespace platform {

struct AudioDevice {
    // Starts playing `ring` (ring_bytes bytes of interleaved signed 16-bit left, right at
    // `rate` frames per second) from its start, over and over. The caller keeps the ring
    // alive until close. False when no device can be opened.
    bool (*open)(int32_t rate, const uint8_t* ring, uint32_t ring_bytes);
    // Bytes played since open; 64-bit so it never wraps. Safe from any thread.
    uint64_t (*position)();
    // Stops playing; the position stays where it was.
    void (*reset)();
    // Stops playing and lets go of the ring. Safe when nothing is open.
    void (*close)();
    // Why the last open failed ("" when it did not).
    const char* (*error)();
};

// The device the next audio_open opens; null for none. While a device is open the choice is
// refused (false, and the open device plays on): the position, reset and close calls go to
// the device that was opened, never to one chosen since, which holds no ring or a freed one.
bool audio_set_device(const AudioDevice* device);
const AudioDevice* audio_device();
bool audio_is_open();

bool audio_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes);  // false without a device
// Of the open device; of the chosen one while none is open (0 without a device).
uint64_t audio_position();
void audio_reset();
void audio_close();         // closes the open device, if any
const char* audio_error();  // why the last audio_open or audio_set_device failed

// The ring is written on one thread and read a chunk or more later on the device's own. The
// writer calls audio_ring_written after each write and a backend calls audio_ring_acquire
// before it reads, so that the reader is sure to see the frames written before.
void audio_ring_written();
void audio_ring_acquire();

}  // namespace platform
