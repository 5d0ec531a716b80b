// demo.h -- the show from start-up to shut-down, for whichever program hosts it
//
// The host picks the audio device (platform::audio_set_device) and its backend's options,
// then calls run_demo once. A display that cannot be set up ends the process from inside,
// with the error box and exit code 0, before any scene.
#pragma once
#include <cstdint>

namespace shell {

struct DemoSetup {
    // The sound opens without its mixing thread; the host fills the chunks as its own clock
    // moves the device on (quorbela-capture).
    bool offline_sound = false;
    // The show without its fast flicker: see run_timeline.
    bool gentle = false;
};

// What every host tells a viewer before the show starts, in these words.
constexpr const char* PHOTOSENSITIVITY_WARNING =
    "Photosensitivity warning: this demo contains flashing lights and rapidly alternating pictures "
    "(scene 7 and two white flashes) that may trigger seizures in people with photosensitive "
    "epilepsy.";

// Brings everything up in order, runs the show and takes everything down again. Always 0: a
// missing sound device or song only leaves the show silent.
int run_demo(void* instance_handle, int32_t show_command, const DemoSetup& setup);

}  // namespace shell
