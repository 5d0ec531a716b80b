// main.cpp -- quorbela, the demo on the desktop: SDL display, keyboard and sound

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/options.h"
#include "platform/window.h"
#include "shell/demo.h"

namespace {

constexpr const char* USAGE =
    "usage: quorbela [--window] [--gentle]\n"
    "\n"
    "The demo: eight scenes in time with its own music, full screen.\n"
    "\n"
    "  --window   show it in a 1280 x 960 window instead of full screen\n"
    "  --gentle   the gentle show: scene 7 swaps its pictures once per beat instead of every\n"
    "             frame, and the two white flashes are short fades (QUORBELA_GENTLE=1 too)\n"
    "  --help     this text\n"
    "\n"
    "Escape ends the current scene (held down, it runs the show out); Escape in the last\n"
    "scene, or closing the window, ends the show. QUORBELA_FPS=N sets the frame rate\n"
    "(70 by default; 0 runs as fast as the machine goes).\n";

// The SDL sound device with stderr quiet while it opens: the sound libraries under SDL print
// their own complaints on a machine without a sound card, and the show goes on silent then
// (a display that fails still says its one line, after the sound was tried). The program may
// do this to its own stderr; the device, a library, may not.
bool open_quietly(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
    const bool opened = platform::sdl_audio_device()->open(rate, ring, ring_bytes);
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    return opened;
}

platform::AudioDevice quiet_sdl_device()
{
    platform::AudioDevice device = *platform::sdl_audio_device();
    device.open = open_quietly;
    return device;
}

constexpr const char* GENTLE_HINT =
    "Run it with --gentle (or QUORBELA_GENTLE=1) for the gentle version.";

// QUORBELA_GENTLE set to anything but empty or 0.
bool gentle_by_environment()
{
    const char* value = std::getenv("QUORBELA_GENTLE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    shell::DemoSetup setup;
    setup.gentle = gentle_by_environment();
    // Anything else on the command line is ignored: the show takes no arguments.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s\n%s %s\n", USAGE, shell::PHOTOSENSITIVITY_WARNING, GENTLE_HINT);
            return 0;
        }
        if (std::strcmp(argv[i], "--window") == 0) platform::sdl::use_window(4 * 320, 4 * 240);
        if (std::strcmp(argv[i], "--gentle") == 0) setup.gentle = true;
    }
    // Whoever starts the show from a terminal reads this before the first picture.
    if (isatty(STDOUT_FILENO) != 0) {
        if (setup.gentle) {
            std::puts(
                "Gentle mode: scene 7 swaps its pictures once per beat and the white flashes are "
                "short fades.");
        } else {
            std::printf("%s %s\n", shell::PHOTOSENSITIVITY_WARNING, GENTLE_HINT);
        }
        std::fflush(stdout);
    }
    static const platform::AudioDevice sound = quiet_sdl_device();
    platform::audio_set_device(&sound);
    return shell::run_demo(nullptr, platform::SHOW_NORMAL, setup);
}
