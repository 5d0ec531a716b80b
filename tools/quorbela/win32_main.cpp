// win32_main.cpp -- quorbela.exe, the demo on Windows: DirectDraw display, DirectInput keyboard,
// wave-out sound
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/wave_out.h"
#include "platform/window.h"
#include "shell/demo.h"

namespace {

constexpr const char* USAGE =
    "quorbela: the demo, eight scenes in time with its own music, full screen.\n"
    "\n"
    "Escape ends the current scene (held down, it runs the show out); Escape in the last "
    "scene ends the show. QUORBELA_FPS=N sets the frame rate (70 by default; 0 runs as fast "
    "as the machine goes).\n"
    "\n"
    "--gentle (or set QUORBELA_GENTLE=1): the gentle show, where scene 7 swaps its pictures once "
    "per beat instead of every frame and the two white flashes are short fades.";

bool asks_for_help(const char* command_line)
{
    return std::strstr(command_line, "--help") != nullptr ||
           std::strstr(command_line, "/?") != nullptr;
}

// --gentle on the command line, or QUORBELA_GENTLE set to anything but empty or 0.
bool asks_for_gentle(const char* command_line)
{
    const char* value = std::getenv("QUORBELA_GENTLE");
    return (command_line != nullptr && std::strstr(command_line, "--gentle") != nullptr) ||
           (value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command)
{
    // A program without a console answers --help in a box; anything else on the command line
    // is ignored, as the show takes no arguments.
    if (command_line != nullptr && asks_for_help(command_line)) {
        const std::string text = std::string(USAGE) + "\n\n" + shell::PHOTOSENSITIVITY_WARNING;
        MessageBoxA(nullptr, text.c_str(), platform::WINDOW_CAPTION, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    shell::DemoSetup setup;
    setup.gentle = asks_for_gentle(command_line);
    platform::audio_set_device(platform::wave_out_audio_device());
    return shell::run_demo(instance, show_command, setup);
}
