// web_audio.h -- the page's sound device (quorbela_audio_web): a copy of the ring played by an
// AudioWorklet (a ScriptProcessor where there is none), the play position reported back
//
// No thread fills the ring: the program runs the player's fill pass after every frame and
// whenever the device says it played on (set_sound_pump), then sends what the pass wrote with
// sound_send_changes. The page provides the Web Audio side (platform/web/sound.js) as
// Module.sound; without it, or without Web Audio, every open fails and the program is silent.
#pragma once
#include "platform/audio.h"

namespace platform {

const AudioDevice* web_audio_device();

}  // namespace platform

namespace platform::web {

// Called on the page's thread whenever the device has played on; null for none.
void set_sound_pump(void (*pump)());
// Sends the parts of the ring written since the last call to the device.
void sound_send_changes();
// Holds the sound (silence, the position stands still) or lets it play on.
void sound_pause(bool paused);

}  // namespace platform::web
