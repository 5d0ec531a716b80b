// virtual_audio.h -- the virtual audio device (quorbela_audio_virtual): its cursor moves only
// when told, for offline rendering and tests
#pragma once
#include <cstdint>

#include "platform/audio.h"

namespace platform {

const AudioDevice* virtual_audio_device();
// Plays `frames` frames: copies them from the ring at the cursor into `destination` (when not
// null) and moves the cursor on. Does nothing while the device is closed.
void virtual_audio_advance(uint32_t frames, int16_t* destination);
// Makes every later open of the virtual device fail (true) or succeed again (false).
void virtual_audio_fail_open(bool fail);
bool virtual_audio_is_open();

}  // namespace platform
