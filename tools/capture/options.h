// options.h -- quorbela-capture's command line
#pragma once
#include <cstdint>
#include <string>

namespace capture {

// x264's speed against size and sharpness: draft is the quickest, best the old slow default.
enum class VideoQuality { DRAFT, GOOD, BEST };

struct Options {
    std::string out_dir;         // frame_NNNNNN.png and show.wav; empty: none
    std::string video_path;      // an MP4 made by ffmpeg; empty: none
    std::string positions_path;  // FRAME SCENE POSITION per presented frame; empty: none
    std::string hashes_path;     // FRAME HASH per kept frame; empty: none
    int32_t fps = 70;
    double last_scene_seconds = 10;  // Escape goes down this far into the last scene
    bool escape_held = false;
    int32_t every = 1;        // keep every K-th frame (pictures and video)
    int32_t scale = 0;        // 0: PNGs as the 320 x 200 frame; N: 4:3 at N times 320 x 240
    int32_t video_scale = 2;  // the video at 4:3, N times 320 x 240 (2: 640 x 480)
    VideoQuality video_quality = VideoQuality::GOOD;
    bool no_sound_device = false;
    bool progress = false;
    bool summary = false;
    bool gentle = false;        // the show without its fast flicker
    bool flash_report = false;  // most flashes in any one second, per scene
    bool help = false;
};

// False with `error` set (one line) on bad usage. `progress` starts as the caller's default.
bool parse_options(int argc, const char* const* argv, Options& options, std::string& error);
const char* usage_text();

}  // namespace capture
