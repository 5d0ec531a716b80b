// sdl_audio.h -- SDL2 audio (quorbela_audio_sdl): SDL's audio callback copies from the ring at
// the cursor and moves the cursor on
//
// SDL is loaded when the device is first opened, not when the program starts, so programs
// that may never play (xmplay --wav) do not pay for the desktop's sound stack. The sound
// libraries under SDL may write complaints to stderr while the device opens (a machine
// without a sound card); a program that wants them quiet wraps the open itself.
#pragma once
#include "platform/audio.h"

namespace platform {

const AudioDevice* sdl_audio_device();

}  // namespace platform
