// renderpreview.cpp -- writes a PNG of each renderer effect on the show's own content
//
// usage: renderpreview [OUTDIR]

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "render/music_source.h"
#include "render/object.h"
#include "render/text.h"
#include "render/warp.h"
#include "shell/dots.h"
#include "shell/offscreen.h"
#include "tools/png/png_file.h"

namespace {

uint16_t preview_position;
uint16_t read_preview_position()
{
    return preview_position;
}

// The frame as a PNG picture, row by row through the frame's row table.
bool write_png(const std::string& path)
{
    std::vector<uint16_t> pixels(320 * 200);
    for (uint32_t y = 0; y < 200; ++y)
        std::memcpy(&pixels[y * 320], platform::frame_buffer + platform::frame_rows[y], 320 * 2);
    return pngfile::write_rgb565(path, pixels.data(), 320, 200);
}

// The object step of the timeline, run for a number of frames.
void move_object(int32_t frames)
{
    static int32_t orbit_angle = 0;
    for (int32_t k = 0; k < frames; ++k) {
        render::object_rot_a += 8;
        render::object_rot_b += 4;
        render::object_rot_c += 1;
        render::wave_lookup(orbit_angle);
        render::object_pos_y = static_cast<int32_t>(std::nearbyint(70.0 * render::wave_sin));
        render::object_pos_x = static_cast<int32_t>(std::nearbyint(120.0 * render::wave_cos));
        orbit_angle += 10;
        render::object_pos_z = 300;
    }
}

void intro_picture()
{
    for (int32_t i = 0; i < 64000; ++i) {
        const uint16_t p = assets::intro_picture[i] >> 4;
        std::memcpy(platform::frame_buffer + 2 * i, &p, 2);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string argument = argc > 1 ? argv[1] : "";
    if (argument == "--help" || argument == "-h") {
        std::printf(
            "usage: renderpreview [OUTDIR]\n\n"
            "Draws each effect of the renderer on the show's own content and writes one\n"
            "PNG per effect (320 x 200) into OUTDIR, ./render-preview by default.\n");
        return 0;
    }
    if (argc > 2 || (!argument.empty() && argument[0] == '-')) {
        std::fprintf(stderr, "usage: renderpreview [OUTDIR] (renderpreview --help says more)\n");
        return 2;
    }
    const std::string dir = argument.empty() ? "render-preview" : argument;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "renderpreview: %s: %s\n", dir.c_str(), error.message().c_str());
        return 1;
    }
    shell::init_renderer();
    shell::OffscreenFrame frame;
    render::set_music_position_source(read_preview_position);
    render::object_colour = 4299;

    struct Shot {
        const char* name;
        void (*draw)();
    };
    const Shot shots[] = {
        {"warp.png",
         [] {
             for (int32_t k = 0; k < 40; ++k) render::draw_warp();
         }},
        {"warp_crystal.png",
         [] {
             preview_position = 0x0610;
             render::draw_warp();
             move_object(12);
             render::draw_object(render::object_mesh);
         }},
        {"crystal.png",
         [] {
             preview_position = 0x1300;
             std::memset(platform::frame_buffer, 0, platform::frame_size);
             render::object_pos_x = 0;
             render::object_pos_y = 0;
             render::object_pos_z = 300;
             render::draw_object(render::object_mesh);
         }},
        {"pulse.png",
         [] {
             preview_position = 0x0600;
             render::draw_warp();
             move_object(1);
             render::draw_object(render::object_mesh);
         }},
        {"dot_cloud.png",
         [] {
             std::vector<render::Point3> cloud(shell::CLOUD_POINTS);
             uint16_t seed = shell::CLOUD_SEED;
             shell::make_cloud(cloud.data(), shell::CLOUD_POINTS, seed);
             std::vector<render::Point3> transformed(shell::CLOUD_DRAWN);
             std::vector<render::ScreenPoint> screen(shell::CLOUD_DRAWN);
             // Thirty dot steps into the turn, as the cloud looks half a second in.
             shell::project_dots(shell::CLOUD_DRAWN, cloud.data(), 400, 30 * 4, 30 * 8,
                                 transformed.data(), screen.data());
             std::memset(platform::frame_buffer, 0, platform::frame_size);
             shell::draw_dots(shell::CLOUD_DRAWN, screen.data());
         }},
        {"grain_intro.png",
         [] {
             intro_picture();
             render::grain_blur();
         }},
        {"text.png",
         [] {
             intro_picture();
             render::grain_blur();
             for (int32_t k = 37; k < assets::text_event_count; ++k) {
                 const assets::TextEvent& e = assets::text_events[k];
                 if (e.text)
                     render::draw_string(
                         e.text, platform::frame_buffer + platform::frame_rows[e.y] + 2 * e.x);
             }
         }},
    };
    for (const Shot& shot : shots) {
        shot.draw();
        const std::string path = dir + "/" + shot.name;
        if (!write_png(path)) {
            std::fprintf(stderr, "renderpreview: %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("renderpreview: %zu pictures in %s\n", std::size(shots), dir.c_str());
    return 0;
}
