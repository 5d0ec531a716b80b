// main.cpp -- quorbela, the demo on the desktop: SDL display, keyboard and sound

#include <cstdio>
#include <cstring>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/options.h"
#include "platform/window.h"
#include "shell/demo.h"

namespace {

constexpr const char* USAGE =
    "usage: quorbela [--window]\n"
    "\n"
    "The demo: eight scenes in time with its own music, full screen.\n"
    "\n"
    "  --window   show it in a 1280 x 960 window instead of full screen\n"
    "  --help     this text\n"
    "\n"
    "Escape ends the current scene (held down, it runs the show out); Escape in the last\n"
    "scene, or closing the window, ends the show. QUORBELA_FPS=N sets the frame rate\n"
    "(70 by default; 0 runs as fast as the machine goes).\n";

}  // namespace

int main(int argc, char** argv)
{
    // Anything else on the command line is ignored: the show takes no arguments.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--window") == 0) platform::sdl::use_window(4 * 320, 4 * 240);
    }
    platform::audio_set_device(platform::sdl_audio_device());
    return shell::run_demo(nullptr, platform::SHOW_NORMAL, shell::DemoSetup{});
}
