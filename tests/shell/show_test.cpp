// show_test.cpp -- the whole show end to end: quorbela-capture runs it offline, and the
// timeline runs in-process on the headless platform where a test needs to steer the music

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/video.h"
#include "platform/window.h"
#include "render/music_source.h"
#include "shell/demo.h"
#include "shell/offscreen.h"
#include "shell/timeline.h"
#include "tests/support/files.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a shell command; its standard output is kept.
Outcome run_command(const std::string& command)
{
    Outcome run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs quorbela-capture with `arguments`; stdout is kept, stderr joins it when asked.
Outcome capture(const std::string& arguments, bool with_stderr = false)
{
    return run_command(std::string(CAPTURE_PATH) + " --no-progress " + arguments +
                       (with_stderr ? " 2>&1" : ""));
}

using test_support::slurp;

struct Scene {
    std::string name;
    long first_frame, frames, start_position, end_position;
};

// The scenes of a --summary line, in show order.
std::vector<Scene> scenes_of(const std::string& summary)
{
    std::vector<Scene> scenes;
    const std::string key = "{\"scene\":\"";
    for (size_t at = summary.find(key); at != std::string::npos; at = summary.find(key, at + 1)) {
        char name[16] = {};
        Scene s;
        if (std::sscanf(
                summary.c_str() + at,
                "{\"scene\":\"%15[^\"]\",\"first_frame\":%ld,\"frames\":%ld,\"start_position\":%ld,"
                "\"end_position\":%ld,",
                name, &s.first_frame, &s.frames, &s.start_position, &s.end_position) == 5) {
            s.name = name;
            scenes.push_back(s);
        }
    }
    return scenes;
}

const std::vector<std::string> SHOW_ORDER = {"1", "flash", "2", "3", "4",
                                             "5", "flash", "6", "7", "8"};
// Where the music ends scenes 1 to 7; scene 8 waits for Escape.
const std::map<std::string, long> END_POSITION = {{"1", 0x0500}, {"2", 0x0700}, {"3", 0x0800},
                                                  {"4", 0x0900}, {"5", 0x0B00}, {"6", 0x0E00},
                                                  {"7", 0x1200}};

class ShowTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The process id too: two checkouts' suites may run at once on one machine.
        dir_ = testing::TempDir() + "show_test_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

TEST_F(ShowTest, EscapeHeldRunsEverySceneOneFrameAndTheFlashesThree)
{
    const Outcome run = capture("--escape-held --summary");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<Scene> scenes = scenes_of(run.out);
    ASSERT_EQ(scenes.size(), SHOW_ORDER.size()) << run.out;
    for (size_t i = 0; i < scenes.size(); ++i) {
        EXPECT_EQ(scenes[i].name, SHOW_ORDER[i]);
        EXPECT_EQ(scenes[i].frames, SHOW_ORDER[i] == "flash" ? 3 : 1) << i;
    }
    EXPECT_NE(run.out.find("\"frames\":14,"), std::string::npos);
    EXPECT_NE(run.out.find("\"exit_code\":0}"), std::string::npos);
}

// Without sound the music never moves: each scene waits for Escape, pressed here for one
// frame a second, and the next scene polls afresh and runs on once the key is up.
TEST_F(ShowTest, WithoutSoundEachEscapeEndsOneScene)
{
    const Outcome run = capture("--no-sound-device --summary --out " + dir_);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<Scene> scenes = scenes_of(run.out);
    ASSERT_EQ(scenes.size(), SHOW_ORDER.size()) << run.out;
    EXPECT_EQ(scenes[0].frames, 70);  // pressed on frame 69
    EXPECT_EQ(scenes[2].frames,
              67);  // 73 .. 139: the first frame after the flash polls a released key
    for (const Scene& scene : scenes) {
        EXPECT_EQ(scene.start_position, 0);
        EXPECT_EQ(scene.end_position, 0);
        if (scene.name != "flash") {
            EXPECT_LE(scene.frames, 70) << scene.name;
        }
    }
    // The device never opened, so the show's sound is silence of the show's length.
    const std::string wav = slurp(dir_ + "/show.wav");
    const long frames = scenes.back().first_frame + scenes.back().frames;
    EXPECT_EQ(static_cast<long>(wav.size()), 44 + frames * 630 * 4);
    EXPECT_EQ(wav.find_first_not_of('\0', 44), std::string::npos);
}

// A full run at 70 frames a second: each scene ends on the first frame whose end test sees
// the music at or past its end, and the sync log agrees with the summary.
TEST_F(ShowTest, ScenesEndWhereTheMusicReachesThem)
{
    const std::string log = dir_ + "/positions.txt";
    const Outcome run = capture("--summary --last-scene-seconds 2 --positions " + log);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<Scene> scenes = scenes_of(run.out);
    ASSERT_EQ(scenes.size(), SHOW_ORDER.size()) << run.out;

    std::vector<std::pair<std::string, long>> frames;  // scene and position of each frame
    std::ifstream lines(log);
    long index;
    std::string scene, position;
    while (lines >> index >> scene >> position) {
        ASSERT_EQ(index, static_cast<long>(frames.size()));
        frames.emplace_back(scene, std::stol(position, nullptr, 16));
    }
    ASSERT_EQ(static_cast<long>(frames.size()), scenes.back().first_frame + scenes.back().frames);

    for (const Scene& s : scenes) {
        EXPECT_EQ(frames[s.first_frame].first, s.name);
        EXPECT_EQ(frames[s.first_frame].second, s.start_position) << s.name;
        const auto end = END_POSITION.find(s.name);
        if (end == END_POSITION.end()) continue;
        // Each frame starts with the position the last frame's end test read.
        const long last = s.first_frame + s.frames - 1;
        EXPECT_GE(s.end_position, end->second) << s.name;
        EXPECT_LT(frames[last].second, end->second) << s.name;
        if (s.name != "1") {
            EXPECT_LT(frames[last].second, s.end_position) << s.name;
        }
    }
    EXPECT_EQ(scenes.back().frames, 2 * 70 + 1);  // Escape went down 140 frames into scene 8
}

// Same options, same bytes: pictures, sound, sync log and frame hashes. The golden hashes
// pin the whole pipeline (player timing, renderer, passes, timeline state) on chosen frames.
TEST_F(ShowTest, TwoCapturesGiveTheSameBytesAndThePinnedFrames)
{
    const std::string args = "--fps 10 --every 10 --last-scene-seconds 1 ";
    for (const char* run_name : {"a", "b"}) {
        const std::string out = dir_ + "/" + run_name;
        const Outcome run = capture(args + "--out " + out + " --positions " + out +
                                    "/positions.txt --hashes " + out + "/hashes.txt");
        ASSERT_EQ(run.status, 0) << run.out;
    }
    const std::string a = dir_ + "/a/", b = dir_ + "/b/";
    const std::string hashes = slurp(a + "hashes.txt");
    ASSERT_FALSE(hashes.empty());
    EXPECT_EQ(hashes, slurp(b + "hashes.txt"));
    EXPECT_EQ(slurp(a + "positions.txt"), slurp(b + "positions.txt"));
    EXPECT_EQ(slurp(a + "show.wav"), slurp(b + "show.wav"));
    EXPECT_EQ(slurp(a + "frame_000400.png"), slurp(b + "frame_000400.png"));

    const std::map<long, std::string> pinned = {
        {0, "82df43946b285319"},     // scene 1: the intro picture, grain and the first text
        {400, "cdfe57bdf2ff3d1a"},   // scene 1 on the last beats of order 4
        {700, "7ad86bb47a0df9dc"},   // scene 4: the mask brightening under the plain cross-fade
        {800, "0f23947ce2dbb881"},   // scene 5: swirl at full weight with the dot trail
        {1000, "12c3a80c8771c60d"},  // scene 6: the cloud, swinging on scene 5's angle
        {1300, "0c7864210d0e7a4d"},  // scene 7: the strobe pictures
        {1470, "107820a45cc38e2f"},  // scene 8's first frame: the crystal still at full colour
        {1480, "3e5b582af1535ac8"},  // scene 8 after it: the crystal dimmed behind the picture
    };
    std::map<long, std::string> kept;
    std::istringstream lines(hashes);
    long frame;
    std::string hash;
    while (lines >> frame >> hash) kept[frame] = hash;
    for (const auto& [pinned_frame, pinned_hash] : pinned)
        EXPECT_EQ(kept[pinned_frame], pinned_hash) << "frame " << pinned_frame;
}

TEST_F(ShowTest, VideoIsFourByThreeH264WithAacOfTheShowsLength)
{
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    const std::string video = dir_ + "/show.mp4";
    const Outcome run = capture("--fps 10 --escape-held --summary --video " + video);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<Scene> scenes = scenes_of(run.out);
    ASSERT_FALSE(scenes.empty());
    const double seconds = (scenes.back().first_frame + scenes.back().frames) / 10.0;

    const Outcome probe = run_command(
        "ffprobe -v error -show_entries stream=codec_name,width,height,display_aspect_ratio,"
        "duration -of default=noprint_wrappers=1 '" +
        video + "'");
    EXPECT_NE(probe.out.find("codec_name=h264"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("width=640\nheight=480"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("codec_name=aac"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("display_aspect_ratio=4:3"), std::string::npos) << probe.out;
    const size_t duration = probe.out.find("duration=");
    ASSERT_NE(duration, std::string::npos) << probe.out;
    EXPECT_NEAR(std::stod(probe.out.substr(duration + 9)), seconds, 0.15);
}

// The flash report of the whole show: the default strobe of scene 7 is over the limit of 3
// flashes in a second, and the gentle show is under it everywhere, its flashes now fades.
TEST_F(ShowTest, FlashReportFindsTheStrobeAndTheGentleShowSafe)
{
    const Outcome table = capture("--flash-report --last-scene-seconds 1");
    ASSERT_EQ(table.status, 0) << table.out;
    std::istringstream lines(table.out);
    std::string line;
    std::map<std::string, int> unsafe_scenes;
    while (std::getline(lines, line)) {
        if (line.find("  unsafe") != std::string::npos)
            ++unsafe_scenes[line.substr(0, line.find(' '))];
    }
    EXPECT_EQ(unsafe_scenes.count("7"), 1u) << table.out;
    EXPECT_EQ(unsafe_scenes.count("flash"), 0u) << table.out;
    EXPECT_NE(table.out.find("\nunsafe: up to "), std::string::npos) << table.out;

    const Outcome gentle = capture("--gentle --flash-report --summary --last-scene-seconds 1");
    ASSERT_EQ(gentle.status, 0) << gentle.out;
    const std::vector<Scene> scenes = scenes_of(gentle.out);
    ASSERT_EQ(scenes.size(), SHOW_ORDER.size()) << gentle.out;
    for (size_t i = 0; i < scenes.size(); ++i) {
        EXPECT_EQ(scenes[i].name, SHOW_ORDER[i]);
        if (scenes[i].name == "flash") {
            EXPECT_EQ(scenes[i].frames, 12);  // six frames up to white, six back
        }
    }
    const std::string key = "\"most_flashes\":";
    int reported = 0;
    for (size_t at = gentle.out.find(key); at != std::string::npos;
         at = gentle.out.find(key, at + 1)) {
        ++reported;
        EXPECT_LE(std::stoi(gentle.out.substr(at + key.size())), 3) << gentle.out;
    }
    EXPECT_EQ(reported, static_cast<int>(SHOW_ORDER.size()));
}

// Both programs warn before anything is shown and name the way to the gentle show.
TEST(Warning, HelpOfBothProgramsCarriesItAndTheGentleShow)
{
    for (const std::string program : {CAPTURE_PATH, QUORBELA_PATH}) {
        const Outcome help = run_command(program + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find(shell::PHOTOSENSITIVITY_WARNING), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--gentle"), std::string::npos) << help.out;
    }
}

TEST_F(ShowTest, BadUsageAndMissingFfmpegGetOneLine)
{
    const Outcome bad = capture("--fps 0", true);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "quorbela-capture: --fps: '0' is not a frame rate from 1 to 1000\n");
    const Outcome unknown = capture("--frobnicate", true);
    EXPECT_EQ(unknown.status, 2);
    const Outcome no_ffmpeg = run_command("PATH=/nonexistent " + std::string(CAPTURE_PATH) +
                                          " --video " + dir_ + "/x.mp4 2>&1");
    EXPECT_EQ(no_ffmpeg.out,
              "quorbela-capture: ffmpeg is not on PATH (--video needs it; on Debian: apt-get "
              "install ffmpeg)\n");
    EXPECT_EQ(no_ffmpeg.status, 1);
}

// The video options take the sizes that keep the pixels whole and the three qualities.
TEST_F(ShowTest, VideoSizeAndQualityTakeOnlyWhatTheyOffer)
{
    for (const char* wrong :
         {"--video-size 640x400", "--video-size 2", "--video-quality high", "--video-size"}) {
        const Outcome run = capture(wrong, true);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
    EXPECT_EQ(capture("--video-size 1280x960 --video-quality best --help").status, 0);
}

// An output that fails mid-show ends the show right there, through the show's own way out
// (not by pressing keys the user never pressed), and the capture says why and exits 1. Here
// the encoder quits before it reads a frame.
TEST_F(ShowTest, AFailedOutputEndsTheShowAtOnceWithOneLineAndExitOne)
{
    const std::string bin = dir_ + "/bin";
    std::filesystem::create_directories(bin);
    {
        std::ofstream fake(bin + "/ffmpeg");
        fake << "#!/bin/sh\nexit 0\n";
    }
    std::filesystem::permissions(bin + "/ffmpeg", std::filesystem::perms::owner_all);
    const std::string positions = dir_ + "/positions.txt";
    const Outcome run =
        run_command("PATH=" + bin + ":$PATH " + std::string(CAPTURE_PATH) +
                    " --no-progress --video " + dir_ + "/x.mp4 --positions " + positions + " 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "quorbela-capture: ffmpeg stopped taking frames\n");
    const std::string presented = slurp(positions);
    EXPECT_EQ(std::count(presented.begin(), presented.end(), '\n'), 1) << presented;
}

// The demo itself on a machine with no display (and, here, no sound card either): the sound
// opens first and must not add its own complaints to the one line.
TEST(DemoProgram, WithoutADisplaySaysOneLineAndExitsZero)
{
    const Outcome run = run_command("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                                    std::string(QUORBELA_PATH) + " 2>&1 >/dev/null");
    EXPECT_EQ(run.out, "MORVA Q-ENGINE V2.2: Sorry, I can't init DirectDraw\n");
    EXPECT_EQ(run.status, 0);
}

// ---- in-process, where the test plays the music ----

// Which strobe picture a scene-7 frame shows: the grain and blur keep pixels from matching
// exactly, but where one picture is lit and the other dark the frame follows the picture.
int strobe_shown()
{
    const auto* frame = reinterpret_cast<const uint16_t*>(platform::headless::last_frame().data());
    long score = 0;
    for (int i = 0; i < 320 * 200; ++i) {
        const bool one = assets::strobe_picture_1[i] > 128 && assets::strobe_picture_2[i] == 0;
        const bool two = assets::strobe_picture_2[i] > 128 && assets::strobe_picture_1[i] == 0;
        if (one) score += frame[i] & 31;
        if (two) score -= frame[i] & 31;
    }
    return score > 0 ? 1 : 2;
}

uint16_t scene_7_position = 0;
std::string current_scene;

// Every scene but the seventh ends on its first frame; the seventh hears `scene_7_position`.
uint16_t steered_position()
{
    return current_scene == "7" ? scene_7_position : 0xFFFF;
}

struct StrobeCase {
    uint16_t position;
    std::vector<int> pictures;  // shown on scene 7's first frames
    bool gentle = false;
};

void PrintTo(const StrobeCase& c, std::ostream* os)
{
    *os << std::hex << "position 0x" << c.position << (c.gentle ? ", gentle" : "");
}

class StrobeTest : public testing::TestWithParam<StrobeCase> {};

TEST_P(StrobeTest, PicturesSwapOnListedRowsOnly)
{
    platform::headless::reset();
    shell::init_renderer();
    shell::reset_timeline();
    platform::window_create();
    platform::input_open(platform::main_window);
    platform::video_create();
    platform::video_set_mode(320, 200, 16);
    platform::frame_alloc(320, 200, 16);
    render::set_music_position_source(steered_position);
    scene_7_position = GetParam().position;

    std::vector<int> shown;
    uint64_t scene_7_start = 0;
    platform::headless::set_frame_sink([&](const platform::headless::Frame& frame) {
        if (current_scene == "7") shown.push_back(strobe_shown());
        (void)frame;
    });
    shell::set_scene_hooks({[&](const char* scene) {
                                current_scene = scene;
                                if (current_scene == "7") {
                                    scene_7_start = platform::headless::frames_presented();
                                    platform::headless::set_key_script(
                                        {{platform::KEY_ESCAPE, scene_7_start + 5, UINT64_MAX}});
                                }
                            },
                            nullptr});
    shell::run_timeline(GetParam().gentle);
    shell::set_scene_hooks({});
    render::set_music_position_source(nullptr);
    platform::frame_free();
    platform::video_release();
    platform::headless::reset();

    EXPECT_EQ(shown, GetParam().pictures);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StrobeTest,
    testing::Values(
        StrobeCase{0x1027, {1, 2, 1, 2, 1, 2}},  // row 39 of order 16: one entry, a swap a frame
        StrobeCase{0x103C, {1, 1, 1, 1, 1, 1}},  // row 60: listed twice, the swaps cancel
        StrobeCase{0x0E05, {1, 1, 1, 1, 1, 1}},  // a row between entries changes nothing
        StrobeCase{0x1104, {1, 2, 1, 2, 1, 2}},
        // The gentle show swaps once on the row and holds; row 60 still cancels.
        StrobeCase{0x1027, {1, 2, 2, 2, 2, 2}, true}, StrobeCase{0x103C, {1, 1, 1, 1, 1, 1}, true},
        StrobeCase{0x0E05, {1, 1, 1, 1, 1, 1}, true}));

// A display that refuses the mode: the message, exit code 0, and no frame ever presented.
TEST(ShowDeathTest, RefusedVideoModeEndsBeforeAnyScene)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::headless::reset();
            platform::headless::fail_display(platform::headless::DisplayFailure::VIDEO_MODE);
            platform::headless::set_frame_sink(
                [](const platform::headless::Frame&) { std::fputs("frame\n", stderr); });
            shell::run_demo(nullptr, platform::SHOW_NORMAL, shell::DemoSetup{true});
        },
        testing::ExitedWithCode(0), "^MORVA Q-ENGINE V2.2: Sorry, I can't set this video mode\n$");
}

}  // namespace
