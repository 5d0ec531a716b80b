// wave_out.h -- Windows wave-out audio (quorbela_audio_wave_out): the ring handed to the
// default wave device as one header that loops endlessly
#pragma once
#include "platform/audio.h"

namespace platform {

const AudioDevice* wave_out_audio_device();

}  // namespace platform
