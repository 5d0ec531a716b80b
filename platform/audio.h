// audio.h -- the audio device: one ring of 16-bit stereo frames played endlessly, and the
// byte position the device has played up to
//
// Backends are tables of functions chosen at run time, so one program may carry several
// (xmplay plays through SDL and renders offline through the virtual device). Nothing is
// chosen at start: without audio_set_device every open fails, as on a machine without sound.
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

// The device the audio_* calls go to from now on; null for none. Only while nothing is open.
void audio_set_device(const AudioDevice* device);
const AudioDevice* audio_device();

bool audio_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes);  // false without a device
uint64_t audio_position();  // 0 without a device
void audio_reset();
void audio_close();
const char* audio_error();  // why the last audio_open failed

// The ring is written on one thread and read a chunk or more later on the device's own. The
// writer calls audio_ring_written after each write and a backend calls audio_ring_acquire
// before it reads, so that the reader is sure to see the frames written before.
void audio_ring_written();
void audio_ring_acquire();

// SDL2 audio (quorbela_platform_sdl): the audio callback copies from the ring at the cursor
// and moves the cursor on. Initialises only SDL's audio subsystem, so it lives beside the
// SDL video backend.
const AudioDevice* sdl_audio_device();

// The virtual device (quorbela_platform_headless): its cursor moves only when told, for
// offline rendering and tests.
const AudioDevice* virtual_audio_device();
// Plays `frames` frames: copies them from the ring at the cursor into `destination` (when not
// null) and moves the cursor on. Does nothing while the device is closed.
void virtual_audio_advance(uint32_t frames, int16_t* destination);
// Makes every later open of the virtual device fail (true) or succeed again (false).
void virtual_audio_fail_open(bool fail);
bool virtual_audio_is_open();

}  // namespace platform
