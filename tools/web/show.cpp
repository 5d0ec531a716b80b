// show.cpp -- quorbela.js, the demo in the browser: the page's canvas, keyboard and sound
//
//   (no arguments)   the show, with the page's sound device (Module.sound) when it has one
//   --check N        N frames on the capture's clock, unpaced and silent, one line
//                    "FRAME HASH" per frame as quorbela-capture --hashes writes them, what
//                    drawing each scene's frames took ("scene N: F frames, X ms per frame"),
//                    then "check done"
//   --gentle         the gentler version of the show
//
// No thread fills the sound: after every frame, and whenever the device says it played on,
// the player's own fill pass runs here and what it wrote goes to the device.
#include <emscripten/emscripten.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/video.h"
#include "platform/virtual/virtual_audio.h"
#include "platform/web/web.h"
#include "platform/web/web_audio.h"
#include "platform/window.h"
#include "shell/demo.h"
#include "shell/timeline.h"
#include "tools/offline/offline.h"

namespace {

constexpr uint64_t RATE = 44100;
constexpr uint64_t CAPTURE_FPS = 70;
// The capture presses Escape this far into the last scene, which only Escape ends.
constexpr uint64_t LAST_SCENE_FRAMES = 10 * CAPTURE_FPS;
constexpr uint64_t NEVER = UINT64_MAX;

struct SceneTime {
    std::string scene;
    uint64_t frames = 0;
    double drawing_ms = 0;
};

struct Check {
    uint64_t frames = 0;           // frames to log
    uint64_t escape_from = NEVER;  // Escape is down from the poll after this many frames
    int16_t heard[2 * RATE / CAPTURE_FPS + 2] = {};
    std::vector<SceneTime> scenes;  // what drawing each scene's frames took
};
Check check;

void pump_sound()
{
    while (player::sound_fill_pass()) {}
    platform::web::sound_send_changes();
}

void after_live_frame(const uint8_t*, uint32_t, uint64_t)
{
    pump_sound();
}

// The capture's clock: the virtual device moves on by a fair share of whole sample frames
// per frame, so that n frames always come with exactly n * 44100 / 70 frames of sound.
void after_check_frame(const uint8_t* pixels, uint32_t bytes, uint64_t index)
{
    if (index < check.frames) {
        std::printf("%" PRIu64 " %016" PRIx64 "\n", index, platform::frame_hash(pixels, bytes));
        if (!check.scenes.empty()) {
            ++check.scenes.back().frames;
            check.scenes.back().drawing_ms += platform::web::drawing_ms();
        }
    }
    const auto count =
        static_cast<uint32_t>((index + 1) * RATE / CAPTURE_FPS - index * RATE / CAPTURE_FPS);
    offline::play_device(count, check.heard);
    // Past the frames asked for, Escape held runs the rest of the show out a frame a scene.
    if (index + 1 >= check.escape_from || index + 1 >= check.frames) {
        platform::web::key_event(platform::KEY_ESCAPE, true);
    }
}

// The page shows nothing of it, but its checks follow the show by it.
void live_scene_begins(const char* scene)
{
    char event[32];
    std::snprintf(event, sizeof event, "scene %s", scene);
    platform::web::tell_page(event);
}

void check_scene_begins(const char* scene)
{
    check.scenes.push_back({scene, 0, 0});
    if (std::strcmp(scene, "8") == 0)
        check.escape_from = platform::web::frames_presented() + LAST_SCENE_FRAMES;
}

bool parse_count(const char* text, uint64_t& count)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-') return false;
    count = value;
    return true;
}

}  // namespace

// Chunks the device played again because the page filled them too late (the page, for checks).
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t web_show_underruns()
{
    return static_cast<uint32_t>(player::sound_underruns());
}

int main(int argc, char** argv)
{
    bool checking = false;
    bool gentle = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0 && i + 1 < argc &&
            parse_count(argv[i + 1], check.frames)) {
            checking = true;
            ++i;
        } else if (std::strcmp(argv[i], "--gentle") == 0) {
            gentle = true;
        } else {
            std::fprintf(stderr, "quorbela: unknown argument %s\n", argv[i]);
        }
    }

    shell::DemoSetup setup;
    setup.offline_sound = true;  // no threads here: this program fills the chunks
    setup.gentle = gentle;
    if (checking) {
        platform::audio_set_device(platform::virtual_audio_device());
        platform::web::script_keyboard(true);
        platform::web::set_present_hook(after_check_frame);
        shell::set_scene_hooks({check_scene_begins, nullptr});
    } else {
        platform::audio_set_device(platform::web_audio_device());
        platform::web::set_present_hook(after_live_frame);
        platform::web::set_sound_pump(pump_sound);
        shell::set_scene_hooks({live_scene_begins, nullptr});
    }
    const int exit_code = shell::run_demo(nullptr, platform::SHOW_NORMAL, setup);
    platform::web::set_sound_pump(nullptr);
    if (checking) {
        for (const SceneTime& scene : check.scenes) {
            std::printf(
                "scene %s: %" PRIu64 " frames, %.3f ms per frame\n", scene.scene.c_str(),
                scene.frames,
                scene.frames > 0 ? scene.drawing_ms / static_cast<double>(scene.frames) : 0.0);
        }
        std::printf("check done\n");
    }
    std::fflush(stdout);
    platform::web::tell_page("show-ended");
    return exit_code;
}
