// timeline.cpp -- the eight scenes, the flashes and the cloud, frame by frame

#include "shell/timeline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "assets/assets.h"
#include "platform/input.h"
#include "platform/video.h"
#include "render/music_source.h"
#include "render/object.h"
#include "render/points.h"
#include "render/tables.h"
#include "render/text.h"
#include "render/warp.h"
#include "shell/dots.h"
#include "shell/passes.h"

namespace shell {

namespace {

constexpr int32_t TRAIL_LENGTH = 100;
constexpr int32_t FLASH_FRAMES = 3;
// The gentle flash's way up to white, in frames; the way back down is as long.
constexpr int32_t FADE_FRAMES = 6;
constexpr uint16_t WHITE = 0xFFFF;

// Scene 1 lights the crystal on these rows of order 4, the drum hits of the intro.
constexpr uint16_t beat_positions[10] = {0x0404, 0x0414, 0x0424, 0x042C, 0x0434,
                                         0x0437, 0x0439, 0x043C, 0x043E, 0x043F};

// Scene 7 swaps its pictures on these rows, the same fifteen in each of orders 14 to 17.
// Row 60 is listed twice in every group: the two swaps cancel, so that row never flickers.
constexpr std::array<uint16_t, 60> swap_positions = [] {
    constexpr uint8_t rows[15] = {4, 9, 12, 20, 25, 28, 36, 39, 41, 44, 60, 57, 60, 62, 63};
    std::array<uint16_t, 60> positions{};
    for (size_t group = 0; group < 4; ++group) {
        for (size_t i = 0; i < 15; ++i)
            positions[group * 15 + i] = static_cast<uint16_t>((14 + group) << 8 | rows[i]);
    }
    return positions;
}();

// Everything the scenes carry from frame to frame and from scene to scene.
struct Timeline {
    int32_t orbit_angle = 0;
    int32_t trail_angles[5] = {};  // t1 .. t5; t1 also swings the cloud's distance in scene 6
    int32_t trail_amp_x = 120;
    int32_t trail_amp_z = 200;
    render::Point3 trail_points[TRAIL_LENGTH] = {};
    int32_t trail_count = 0;
    int32_t cloud_rot_a = 0;
    int32_t cloud_rot_b = 0;
    render::Point3 cloud_points[CLOUD_POINTS] = {};
    uint16_t cloud_seed = CLOUD_SEED;
    render::Point3 transformed[CLOUD_DRAWN] = {};
    render::ScreenPoint screen_points[CLOUD_DRAWN] = {};
    const uint8_t* strobe_current = assets::strobe_picture_1;  // scene 7's shown picture
    const uint8_t* strobe_other = assets::strobe_picture_2;
    bool gentle = false;
    int32_t strobe_row = -1;  // gentle scene 7: the position whose swaps were made
};
Timeline timeline;
SceneHooks hooks;
// Set by end_show: the show stops after the frame being presented.
bool show_ending = false;

uint16_t position()
{
    return render::current_music_position();
}

bool escape_down()
{
    return platform::key_state[platform::KEY_ESCAPE] != 0;
}

// v rounded to the nearest integer, halves to even. The product of an integer and a float is
// exact in double precision, so only this one rounding happens.
int32_t nearest(int32_t factor, float value)
{
    return static_cast<int32_t>(
        std::nearbyint(static_cast<double>(factor) * static_cast<double>(value)));
}

void fill_frame(uint16_t value)
{
    uint16_t* frame = frame_pixels();
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) frame[i] = value;
}

// A picture's intensities placed in the blue field.
void show_picture(const uint8_t* picture, int32_t shift)
{
    uint16_t* frame = frame_pixels();
    for (int32_t i = 0; i < FRAME_PIXELS; ++i)
        frame[i] = static_cast<uint16_t>(picture[i] >> shift);
}

void object_step()
{
    render::object_rot_a += 8;
    render::object_rot_b += 4;
    render::object_rot_c += 1;
    render::wave_lookup(timeline.orbit_angle);
    render::object_pos_y = nearest(70, render::wave_sin);
    render::object_pos_x = nearest(120, render::wave_cos);
    timeline.orbit_angle += 10;
    render::object_pos_z = 300;
}

// Turns and projects n points; drawing is left to the scene, which may clear the frame first.
void dot_step(int32_t n, const render::Point3* points, int32_t distance)
{
    timeline.cloud_rot_a += 4;
    timeline.cloud_rot_b += 8;
    render::object_rot_c += 18;
    project_dots(n, points, distance, timeline.cloud_rot_a, timeline.cloud_rot_b,
                 timeline.transformed, timeline.screen_points);
}

// The warp with the crystal circling over it, as scenes 2 to 5 start their frames.
void warp_and_object()
{
    render::draw_warp();
    object_step();
    render::draw_object(render::object_mesh);
}

void texts()
{
    render::update_texts();
    render::draw_texts();
}

// Runs `frame` then presents, until the music reaches `end` or Escape is down. Scene 8 has no
// end position: only Escape ends it.
void run_scene(const char* name, uint16_t end, bool escape_only, void (*frame)())
{
    if (show_ending) return;
    if (hooks.begin) hooks.begin(name);
    uint16_t end_read = 0;
    for (;;) {
        frame();
        platform::video_present();
        end_read = position();
        if (show_ending || escape_down() || (!escape_only && end_read >= end)) break;
    }
    if (hooks.end) hooks.end(name, end_read);
}

void flash()
{
    if (show_ending) return;
    if (hooks.begin) hooks.begin("flash");
    // Neither the keyboard nor the music is looked at: a flash always lasts its three frames.
    for (int32_t i = 0; i < FLASH_FRAMES && !show_ending; ++i) {
        fill_frame(WHITE);
        platform::video_present();
    }
    if (hooks.end) hooks.end("flash", position());
}

// The gentle flash: the last picture rises to white over FADE_FRAMES frames and comes back
// down over as many, each channel moved by the same share of its way to full.
void fading_flash()
{
    if (show_ending) return;
    if (hooks.begin) hooks.begin("flash");
    uint16_t* frame = frame_pixels();
    const std::vector<uint16_t> last(frame, frame + FRAME_PIXELS);
    for (int32_t i = 0; i < 2 * FADE_FRAMES && !show_ending; ++i) {
        const auto share = static_cast<uint32_t>(std::min(i + 1, 2 * FADE_FRAMES - i));
        for (int32_t p = 0; p < FRAME_PIXELS; ++p) {
            const uint32_t red = last[p] >> 11, green = (last[p] >> 5) & 63, blue = last[p] & 31;
            frame[p] = static_cast<uint16_t>((red + (31 - red) * share / FADE_FRAMES) << 11 |
                                             (green + (63 - green) * share / FADE_FRAMES) << 5 |
                                             (blue + (31 - blue) * share / FADE_FRAMES));
        }
        platform::video_present();
    }
    if (hooks.end) hooks.end("flash", position());
}

void scene_1()
{
    platform::input_poll();
    render::object_colour = 4299;
    show_picture(assets::intro_picture, 4);
    render::grain_blur();
    if (position() > 0x0500) render::draw_warp();
    object_step();
    // The position is read anew for every entry: the music may move on meanwhile.
    for (uint16_t beat : beat_positions) {
        if (position() == beat) render::draw_object(render::object_mesh);
    }
    texts();
}

void scene_2()
{
    platform::input_poll();
    warp_and_object();
}

void scene_3()
{
    platform::input_poll();
    // The warp covers the whole frame, so no text of this stretch stays visible; the list
    // still follows the music.
    texts();
    warp_and_object();
    mask_fade(FadeDirection::DARKENING);
}

void scene_4()
{
    platform::input_poll();
    warp_and_object();
    mask_fade(FadeDirection::BRIGHTENING);
    texture_pass(TextureMode::PLAIN);
    cross_fade(BlendWeights::HALF, 15);
}

void scene_5()
{
    platform::input_poll();
    warp_and_object();
    mask_fade(FadeDirection::BRIGHTENING);
    texture_pass(TextureMode::SWIRLED);
    render::warp_phase = static_cast<uint16_t>(render::warp_phase + 0x0A0A);
    cross_fade(BlendWeights::FULL, 31);

    int32_t* t = timeline.trail_angles;
    render::wave_lookup(t[0]);
    const int32_t py = nearest(70, render::wave_sin);
    render::wave_lookup(t[1]);
    const int32_t px = nearest(timeline.trail_amp_x, render::wave_cos);
    render::wave_lookup(t[2]);
    const int32_t pz = nearest(timeline.trail_amp_z, render::wave_cos);
    render::wave_lookup(t[3]);
    timeline.trail_amp_x = nearest(120, render::wave_cos) + 60;
    render::wave_lookup(t[4]);
    timeline.trail_amp_z = nearest(120, render::wave_sin) + 60;
    t[0] += 20;
    t[1] += 14;
    t[2] += 12;
    t[3] += 35;
    t[4] += 18;
    // The trail grows for 100 frames, then its points only turn.
    if (timeline.trail_count < TRAIL_LENGTH) {
        timeline.trail_points[timeline.trail_count] = {
            static_cast<float>(px), static_cast<float>(py), static_cast<float>(pz)};
        ++timeline.trail_count;
    }
    dot_step(timeline.trail_count, timeline.trail_points, 400);
    draw_dots(timeline.trail_count, timeline.screen_points);
}

void scene_6()
{
    platform::input_poll();
    render::wave_lookup(timeline.trail_angles[0]);
    render::object_pos_z = nearest(70, render::wave_sin) + 400;
    // The cloud starts breathing only in the second half of the scene.
    if (position() > 0x0D00) timeline.trail_angles[0] += 10;
    dot_step(CLOUD_DRAWN, timeline.cloud_points, render::object_pos_z);
    // Cleared right after: here the blur only moves its grain on for the scenes after.
    render::grain_blur();
    fill_frame(0);
    draw_dots(CLOUD_DRAWN, timeline.screen_points);
    texts();
}

void scene_7()
{
    platform::input_poll();
    show_picture(timeline.strobe_current, 3);
    if (timeline.gentle) {
        // Once per row: the swaps are made on the first frame at a new position and then held.
        const uint16_t now = position();
        if (now != timeline.strobe_row) {
            timeline.strobe_row = now;
            for (uint16_t swap : swap_positions) {
                if (now == swap) std::swap(timeline.strobe_current, timeline.strobe_other);
            }
        }
    } else {
        // While the music stays on a listed row every frame swaps again, so the pictures
        // flicker for the length of the row; a swap shows from the next frame on.
        for (uint16_t swap : swap_positions) {
            if (position() == swap) std::swap(timeline.strobe_current, timeline.strobe_other);
        }
    }
    render::grain_blur();
    texts();
}

void scene_8()
{
    platform::input_poll();
    fill_frame(0);
    render::object_rot_b += 1;
    render::object_pos_x = 0;
    render::object_pos_y = 0;
    render::object_pos_z = 300;
    render::draw_object(render::object_mesh);
    // Set after drawing: the first frame of the scene still lights the crystal brightly.
    render::object_colour = 1;
    uint16_t* frame = frame_pixels();
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
        // The overlay's bytes are pixel values themselves; 0 is see-through.
        if (assets::final_picture[i] != 0) frame[i] = assets::final_picture[i];
    }
    render::grain_blur();
    texts();
}

}  // namespace

void scene_frame(int32_t scene)
{
    static void (*const frames[8])() = {scene_1, scene_2, scene_3, scene_4,
                                        scene_5, scene_6, scene_7, scene_8};
    if (scene >= 1 && scene <= 8 && frame_pixels() != nullptr) frames[scene - 1]();
}

void make_show_cloud()
{
    make_cloud(timeline.cloud_points, CLOUD_POINTS, timeline.cloud_seed);
}

void set_scene_hooks(SceneHooks scene_hooks)
{
    hooks = std::move(scene_hooks);
}

void end_show()
{
    show_ending = true;
}

void run_timeline(bool gentle)
{
    show_ending = false;
    if (frame_pixels() == nullptr) return;
    timeline.gentle = gentle;
    void (*const white_flash)() = gentle ? fading_flash : flash;
    run_scene("1", 0x0500, false, scene_1);
    white_flash();
    run_scene("2", 0x0700, false, scene_2);
    run_scene("3", 0x0800, false, scene_3);
    run_scene("4", 0x0900, false, scene_4);
    run_scene("5", 0x0B00, false, scene_5);
    white_flash();
    if (!show_ending) make_show_cloud();
    run_scene("6", 0x0E00, false, scene_6);

    run_scene("7", 0x1200, false, scene_7);
    run_scene("8", 0, true, scene_8);
}

void reset_timeline()
{
    timeline = Timeline{};
    reset_passes();
    render::object_rot_a = render::object_rot_b = render::object_rot_c = 0;
    render::object_pos_x = render::object_pos_y = render::object_pos_z = 0;
    render::object_colour = 0;
    render::warp_phase = 0;
    render::grain_phase = 0;
    render::clear_texts();
}

}  // namespace shell
