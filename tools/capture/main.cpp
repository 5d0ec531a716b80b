// main.cpp -- quorbela-capture: the whole show offline, to PNG frames, a WAV and an MP4
//
// The same shell, renderer and player as the demo, on the headless platform. The frame clock
// is the capture's own: each present hands the frame to the outputs (keep_frame), then moves
// the clock on (frame_clock): the virtual sound device plays exactly the frame's share of
// 1/fps of a second and the player fills what fell due with its own fill pass. So pictures
// and sound stay in step and every run gives the same bytes. An output that fails ends the
// show there (shell::end_show), and the capture says why and exits 1.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "platform/virtual/virtual_audio.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/window.h"
#include "player/player.h"
#include "shell/demo.h"
#include "shell/timeline.h"
#include "tools/flash/flash.h"
#include "tools/offline/offline.h"
#include "tools/offline/wav.h"
#include "tools/png/png_file.h"
#include "video.h"

namespace capture {

namespace {

constexpr int32_t RATE = 44100;
constexpr int32_t WIDTH = 320;
constexpr int32_t HEIGHT = 200;
constexpr uint64_t NEVER = UINT64_MAX;

struct SceneRecord {
    std::string scene;
    uint64_t first_frame = 0;
    uint64_t frames = 0;
    uint16_t start_position = 0;
    uint16_t end_position = 0;
    double cpu_start = 0;
    double sink_cpu_at_start = 0;
    double ms_per_frame = 0;
    int32_t most_flashes = 0;   // in any one second that starts in the scene
    uint64_t flash_second = 0;  // the first frame of the first such second
};

struct Capture {
    Options options;
    std::vector<platform::headless::KeyHold> keys;
    std::vector<SceneRecord> scenes;
    std::string scene = "1";
    double sink_cpu = 0;  // seconds spent writing the outputs and filling the sound
    std::vector<uint16_t> picture;
    std::vector<int16_t> heard;
    offline::WavWriter wav;
    bool wav_open = false;
    std::unique_ptr<VideoWriter> video;
    std::FILE* positions = nullptr;
    std::FILE* hashes = nullptr;
    std::string failure;  // the first output that failed; the show is then run out
    std::unique_ptr<flash::FlashMeter> flashes;  // with --flash-report
    std::vector<bool> screen_changed;            // per frame: did the screen's luminance swing
};
Capture capture;

double thread_cpu_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void fail(const std::string& what)
{
    if (!capture.failure.empty()) return;
    capture.failure = what;
    // Nothing more can be written: the show ends after this frame.
    shell::end_show();
}

// 4:3 at `scale` times 320 x 240, nearest pixel: the mode's pixels were taller than wide.
std::vector<uint16_t> stretch(const std::vector<uint16_t>& picture, int32_t scale)
{
    const int32_t width = WIDTH * scale;
    const int32_t height = 240 * scale;
    std::vector<uint16_t> out(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const int32_t source = y * HEIGHT / height;
        for (int32_t x = 0; x < width; ++x)
            out[static_cast<size_t>(y) * width + x] = picture[source * WIDTH + x / scale];
    }
    return out;
}

void keep_picture(uint64_t index)
{
    const Options& options = capture.options;
    if (!options.out_dir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06" PRIu64 ".png", index);
        const std::string path = options.out_dir + name;
        const bool written =
            options.scale == 0
                ? pngfile::write_rgb565(path, capture.picture.data(), WIDTH, HEIGHT)
                : pngfile::write_rgb565(path, stretch(capture.picture, options.scale).data(),
                                        WIDTH * options.scale, 240 * options.scale);
        if (!written) fail(path + ": " + std::strerror(errno));
    }
    if (capture.video && !capture.video->write_frame(capture.picture.data()))
        fail("ffmpeg stopped taking frames");
    if (capture.hashes != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(capture.picture.data());
        std::fprintf(capture.hashes, "%" PRIu64 " %016" PRIx64 "\n", index,
                     platform::headless::frame_hash(bytes, capture.picture.size() * 2));
    }
}

// The sound the device plays during frame `index`: a fair share of whole sample frames, so
// that n frames always come with exactly n * 44100 / fps of sound.
void play_sound(uint64_t index)
{
    const auto fps = static_cast<uint64_t>(capture.options.fps);
    const auto count = static_cast<uint32_t>((index + 1) * RATE / fps - index * RATE / fps);
    capture.heard.assign(static_cast<size_t>(count) * 2, 0);
    offline::play_device(count, capture.heard.data());
    if (capture.wav_open && !capture.wav.write(capture.heard.data(), count)) {
        fail(capture.options.out_dir + "/show.wav: " + std::strerror(errno));
    }
    if (capture.video && !capture.video->write_audio(capture.heard.data(), count))
        fail("cannot keep the video's sound");
}

void show_progress(uint64_t index, bool last)
{
    if (!capture.options.progress) return;
    if (!last && index % static_cast<uint64_t>(capture.options.fps) != 0) return;
    const double seconds = static_cast<double>(index) / capture.options.fps;
    std::fprintf(stderr, "\rquorbela-capture: scene %-5s %3d:%04.1f  %7" PRIu64 " frames%s",
                 capture.scene.c_str(), static_cast<int>(seconds / 60),
                 seconds - 60 * static_cast<int>(seconds / 60), index, last ? "\n" : "");
    std::fflush(stderr);
}

void measure_flashes(const platform::headless::Frame& frame)
{
    if (capture.flashes)
        capture.screen_changed.push_back(capture.flashes->add_frame(frame.pixels, frame.pitch));
}

// A second counts for the scene it starts in, so a scene's last second also sees the first
// frames of the next.
void find_busiest_seconds()
{
    if (!capture.flashes) return;
    for (SceneRecord& s : capture.scenes) {
        const flash::Second second = flash::busiest_second(
            capture.screen_changed, s.first_frame, s.first_frame + s.frames, capture.options.fps);
        s.most_flashes = second.flashes;
        s.flash_second = second.first_frame;
    }
}

void print_flash_report()
{
    std::printf("most flashes in any one second (more than %d is unsafe)\n", flash::SAFE_FLASHES);
    std::printf("scene   flashes  second from frame\n");
    int32_t most = 0;
    for (const SceneRecord& s : capture.scenes) {
        std::printf("%-7s %7d  %" PRIu64 "%s\n", s.scene.c_str(), s.most_flashes, s.flash_second,
                    s.most_flashes > flash::SAFE_FLASHES ? "  unsafe" : "");
        most = std::max(most, s.most_flashes);
    }
    std::printf("%s: %s %d flash%s in any one second\n",
                most > flash::SAFE_FLASHES ? "unsafe" : "safe",
                most > flash::SAFE_FLASHES ? "up to" : "at most", most, most == 1 ? "" : "es");
}

// Present, step 1: the outputs take the frame as drawn.
void keep_frame(const platform::headless::Frame& frame)
{
    const double start = thread_cpu_seconds();
    // Nothing moved the music since the frame began: every read in it saw this.
    const uint16_t position = player::music_position();
    if (capture.positions != nullptr) {
        std::fprintf(capture.positions, "%" PRIu64 " %s 0x%04X\n", frame.index,
                     capture.scene.c_str(), position);
    }
    if (frame.index % static_cast<uint64_t>(capture.options.every) == 0) {
        for (int32_t y = 0; y < HEIGHT; ++y) {
            std::memcpy(capture.picture.data() + y * WIDTH,
                        frame.pixels + static_cast<size_t>(y) * frame.pitch, WIDTH * 2);
        }
        keep_picture(frame.index);
    }
    measure_flashes(frame);
    capture.sink_cpu += thread_cpu_seconds() - start;
}

// Present, step 2: the clock moves on by one frame, and with it the device and the music.
void frame_clock(uint64_t frames_presented)
{
    const double start = thread_cpu_seconds();
    if (capture.failure.empty()) play_sound(frames_presented - 1);
    show_progress(frames_presented, false);
    capture.sink_cpu += thread_cpu_seconds() - start;
}

void scene_begins(const char* scene)
{
    capture.scene = scene;
    SceneRecord record;
    record.scene = scene;
    record.first_frame = platform::headless::frames_presented();
    record.start_position = player::music_position();
    record.cpu_start = thread_cpu_seconds();
    record.sink_cpu_at_start = capture.sink_cpu;
    capture.scenes.push_back(record);
    const Options& options = capture.options;
    if (std::strcmp(scene, "8") == 0 && !options.escape_held && !options.no_sound_device) {
        const auto delay = static_cast<uint64_t>(options.last_scene_seconds * options.fps + 0.5);
        capture.keys.push_back({platform::KEY_ESCAPE, record.first_frame + delay, NEVER});
        platform::headless::set_key_script(capture.keys);
    }
}

void scene_ends(const char* scene, uint16_t end_position)
{
    (void)scene;
    SceneRecord& record = capture.scenes.back();
    record.frames = platform::headless::frames_presented() - record.first_frame;
    record.end_position = end_position;
    const double drawing =
        thread_cpu_seconds() - record.cpu_start - (capture.sink_cpu - record.sink_cpu_at_start);
    record.ms_per_frame =
        record.frames > 0 ? drawing * 1000 / static_cast<double>(record.frames) : 0;
}

void script_keys()
{
    const Options& options = capture.options;
    const auto fps = static_cast<uint64_t>(options.fps);
    if (options.escape_held) capture.keys.push_back({platform::KEY_ESCAPE, 0, NEVER});
    if (options.no_sound_device) {
        // Once a second, for one frame: each press ends the scene it lands in.
        for (uint64_t second = 1; second <= 3600; ++second) {
            capture.keys.push_back({platform::KEY_ESCAPE, second * fps - 1, second * fps - 1});
        }
    }
    // Whatever happens, the show ends within an hour of show time.
    capture.keys.push_back({platform::KEY_ESCAPE, 3600 * fps, NEVER});
    platform::headless::set_key_script(capture.keys);
}

void print_summary(int exit_code)
{
    std::printf("{\"fps\":%d,\"frames\":%" PRIu64 ",\"scenes\":[", capture.options.fps,
                platform::headless::frames_presented());
    for (size_t i = 0; i < capture.scenes.size(); ++i) {
        const SceneRecord& s = capture.scenes[i];
        std::printf("%s{\"scene\":\"%s\",\"first_frame\":%" PRIu64 ",\"frames\":%" PRIu64
                    ",\"start_position\":%u,\"end_position\":%u,\"ms_per_frame\":%.4f",
                    i == 0 ? "" : ",", s.scene.c_str(), s.first_frame, s.frames, s.start_position,
                    s.end_position, s.ms_per_frame);
        if (capture.flashes)
            std::printf(",\"most_flashes\":%d,\"flash_second\":%" PRIu64, s.most_flashes,
                        s.flash_second);
        std::printf("}");
    }
    std::printf("],\"exit_code\":%d}\n", exit_code);
}

bool open_outputs(std::string& error)
{
    const Options& options = capture.options;
    if (!options.out_dir.empty()) {
        std::error_code code;
        std::filesystem::create_directories(options.out_dir, code);
        if (code) {
            error = options.out_dir + ": " + code.message();
            return false;
        }
        const std::string wav_path = options.out_dir + "/show.wav";
        if (!capture.wav.open(wav_path, RATE)) {
            error = wav_path + ": " + std::strerror(errno);
            return false;
        }
        capture.wav_open = true;
    }
    if (!options.positions_path.empty()) {
        capture.positions = std::fopen(options.positions_path.c_str(), "w");
        if (capture.positions == nullptr) {
            error = options.positions_path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!options.hashes_path.empty()) {
        capture.hashes = std::fopen(options.hashes_path.c_str(), "w");
        if (capture.hashes == nullptr) {
            error = options.hashes_path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!options.video_path.empty()) {
        capture.video = std::make_unique<VideoWriter>();
        const std::string rate =
            options.every == 1 ? std::to_string(options.fps)
                               : std::to_string(options.fps) + "/" + std::to_string(options.every);
        if (!capture.video->open(options.video_path, rate, options.video_scale,
                                 options.video_quality, error)) {
            return false;
        }
    }
    return true;
}

bool close_outputs(std::string& error)
{
    if (!capture.failure.empty()) {
        error = capture.failure;
        return false;
    }
    if (capture.positions != nullptr && std::fclose(capture.positions) != 0) {
        error = capture.options.positions_path + ": " + std::strerror(errno);
        return false;
    }
    if (capture.hashes != nullptr && std::fclose(capture.hashes) != 0) {
        error = capture.options.hashes_path + ": " + std::strerror(errno);
        return false;
    }
    if (capture.wav_open && !capture.wav.finish()) {
        error = capture.options.out_dir + "/show.wav: " + std::strerror(errno);
        return false;
    }
    if (capture.video && !capture.video->finish(error)) return false;
    return true;
}

}  // namespace

int run(int argc, const char* const* argv)
{
    capture.options.progress = isatty(STDERR_FILENO) != 0;
    std::string error;
    if (!parse_options(argc, argv, capture.options, error)) {
        std::fprintf(stderr, "quorbela-capture: %s\n", error.c_str());
        return 2;
    }
    if (capture.options.help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (!open_outputs(error)) {
        std::fprintf(stderr, "quorbela-capture: %s\n", error.c_str());
        return 1;
    }
    capture.picture.resize(static_cast<size_t>(WIDTH) * HEIGHT);

    platform::audio_set_device(platform::virtual_audio_device());
    platform::virtual_audio_fail_open(capture.options.no_sound_device);
    platform::headless::set_frame_sink(keep_frame);
    platform::headless::set_present_clock(frame_clock);
    script_keys();
    shell::set_scene_hooks({scene_begins, scene_ends});

    if (capture.options.flash_report)
        capture.flashes = std::make_unique<flash::FlashMeter>(WIDTH, HEIGHT);
    shell::DemoSetup setup;
    setup.offline_sound = true;
    setup.gentle = capture.options.gentle;
    const int exit_code = shell::run_demo(nullptr, platform::SHOW_NORMAL, setup);
    show_progress(platform::headless::frames_presented(), true);
    find_busiest_seconds();
    if (capture.options.progress && capture.video && capture.failure.empty()) {
        std::fputs("quorbela-capture: putting the sound with the pictures\n", stderr);
    }

    if (!close_outputs(error)) {
        std::fprintf(stderr, "quorbela-capture: %s\n", error.c_str());
        return 1;
    }
    if (capture.options.summary)
        print_summary(exit_code);
    else if (capture.flashes)
        print_flash_report();
    return exit_code;
}

}  // namespace capture

int main(int argc, char** argv)
{
    return capture::run(argc, argv);
}
