// options.cpp -- quorbela-capture's command line

#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/demo.h"

namespace capture {

namespace {

bool parse_int(const char* text, int32_t low, int32_t high, int32_t& value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (*text == '\0' || errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool parse_seconds(const char* text, double& value)
{
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (*text == '\0' || errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < 0 ||
        parsed > 3600)
        return false;
    value = parsed;
    return true;
}

}  // namespace

const char* usage_text()
{
    static const std::string text =
        std::string(
            "usage: quorbela-capture [--out DIR] [--video FILE.mp4] [options]\n"
            "\n"
            "Plays the whole show offline, frame by frame, with the sound moved on by exactly\n"
            "1/fps of a second per frame: the same options give the same bytes every time.\n"
            "\n"
            "  --out DIR               DIR/frame_NNNNNN.png for each kept frame, DIR/show.wav\n"
            "  --video FILE.mp4        H.264 + AAC video of the show through ffmpeg\n"
            "  --video-size WxH        640x480 (default), 320x240, 960x720 or 1280x960; the\n"
            "                          pixels stay sharp at every size\n"
            "  --video-quality Q       draft, good (default) or best: best is sharper and\n"
            "                          several times slower to encode\n"
            "  --positions FILE        FRAME SCENE POSITION for every frame (the sync log)\n"
            "  --hashes FILE           FRAME HASH for every kept frame: FNV-1a (64-bit) of its\n"
            "                          128000 bytes of RGB565, to compare captures anywhere\n"
            "  --summary               one JSON object on stdout: frames and positions per scene\n"
            "  --gentle                the gentle show: scene 7 swaps its pictures once per beat\n"
            "                          instead of every frame, the white flashes are short fades\n"
            "  --flash-report          per scene, the most flashes in any one second (a flash: a\n"
            "                          swing of relative luminance by 0.1 and back over a quarter\n"
            "                          of the screen; more than 3 a second is unsafe) and the "
            "frame\n"
            "                          where that second starts; with --summary, in its JSON\n"
            "  --fps N                 frames per second of show time (default 70)\n"
            "  --every K               keep every K-th frame only (default 1)\n"
            "  --scale N               PNGs at 4:3, N times 320 x 240 (default: 320 x 200 as "
            "drawn)\n"
            "  --last-scene-seconds S  press Escape S seconds into the last scene (default 10)\n"
            "  --escape-held           hold Escape from the first frame: every scene one frame\n"
            "  --no-sound-device       as if the sound device failed to open; Escape is then\n"
            "                          pressed once a second, so each scene ends on it\n"
            "  --progress, --no-progress  progress on stderr (default: on a terminal)\n"
            "  --help                  this text\n"
            "\n") +
        shell::PHOTOSENSITIVITY_WARNING +
        "\nA video of the default show should carry this warning; --gentle captures the gentle "
        "show.\n";
    return text.c_str();
}

bool parse_options(int argc, const char* const* argv, Options& options, std::string& error)
{
    const bool progress = options.progress;
    options = Options{};
    options.progress = progress;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        auto needs_value = [&](const char* name) {
            error = std::string(name) + " needs a value";
            return false;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--escape-held") == 0) {
            options.escape_held = true;
        } else if (std::strcmp(arg, "--no-sound-device") == 0) {
            options.no_sound_device = true;
        } else if (std::strcmp(arg, "--progress") == 0) {
            options.progress = true;
        } else if (std::strcmp(arg, "--no-progress") == 0) {
            options.progress = false;
        } else if (std::strcmp(arg, "--summary") == 0) {
            options.summary = true;
        } else if (std::strcmp(arg, "--gentle") == 0) {
            options.gentle = true;
        } else if (std::strcmp(arg, "--flash-report") == 0) {
            options.flash_report = true;
        } else if (std::strcmp(arg, "--out") == 0 || std::strcmp(arg, "--video") == 0 ||
                   std::strcmp(arg, "--positions") == 0 || std::strcmp(arg, "--hashes") == 0) {
            const char* text = value();
            if (text == nullptr || *text == '\0') return needs_value(arg);
            std::string& target = arg[2] == 'o'   ? options.out_dir
                                  : arg[2] == 'v' ? options.video_path
                                  : arg[2] == 'h' ? options.hashes_path
                                                  : options.positions_path;
            target = text;
        } else if (std::strcmp(arg, "--fps") == 0 || std::strcmp(arg, "--every") == 0 ||
                   std::strcmp(arg, "--scale") == 0) {
            const char* text = value();
            if (text == nullptr) return needs_value(arg);
            const bool fps = arg[2] == 'f', every = arg[2] == 'e';
            int32_t& target = fps ? options.fps : every ? options.every : options.scale;
            if (!parse_int(text, 1, fps ? 1000 : every ? 1000000 : 8, target)) {
                error = std::string(arg) + ": '" + text + "' is not " +
                        (fps     ? "a frame rate from 1 to 1000"
                         : every ? "a whole number from 1 up"
                                 : "a scale from 1 to 8");
                return false;
            }
        } else if (std::strcmp(arg, "--video-size") == 0) {
            const char* text = value();
            if (text == nullptr) return needs_value(arg);
            options.video_scale = 0;
            for (int32_t n = 1; n <= 4; ++n) {
                if (std::to_string(320 * n) + "x" + std::to_string(240 * n) == text)
                    options.video_scale = n;
            }
            if (options.video_scale == 0) {
                error = std::string("--video-size: '") + text +
                        "' is not 320x240, 640x480, 960x720 or 1280x960";
                return false;
            }
        } else if (std::strcmp(arg, "--video-quality") == 0) {
            const char* text = value();
            if (text == nullptr) return needs_value(arg);
            if (std::strcmp(text, "draft") == 0) {
                options.video_quality = VideoQuality::DRAFT;
            } else if (std::strcmp(text, "good") == 0) {
                options.video_quality = VideoQuality::GOOD;
            } else if (std::strcmp(text, "best") == 0) {
                options.video_quality = VideoQuality::BEST;
            } else {
                error = std::string("--video-quality: '") + text + "' is not draft, good or best";
                return false;
            }
        } else if (std::strcmp(arg, "--last-scene-seconds") == 0) {
            const char* text = value();
            if (text == nullptr) return needs_value(arg);
            if (!parse_seconds(text, options.last_scene_seconds)) {
                error = std::string("--last-scene-seconds: '") + text +
                        "' is not a number of seconds from 0 to 3600";
                return false;
            }
        } else {
            error = std::string("unknown option '") + arg + "' (see --help)";
            return false;
        }
    }
    return true;
}

}  // namespace capture
