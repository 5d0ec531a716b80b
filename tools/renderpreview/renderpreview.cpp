// renderpreview.cpp -- writes a PNG of each renderer effect on the show's own content
//
// usage: renderpreview [OUTDIR]

#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "render/object.h"
#include "render/text.h"
#include "render/warp.h"
#include "scenes.h"

namespace {

uint16_t preview_position;
uint16_t read_preview_position() { return preview_position; }

bool write_png(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, 320, 200, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(320 * 3);
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < 320; ++x) {
            uint16_t p;
            std::memcpy(&p, platform::frame_buffer + platform::frame_rows[y] + 2 * x, 2);
            const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            row[3 * x] = static_cast<uint8_t>((r << 3) | (r >> 2));
            row[3 * x + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
            row[3 * x + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
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
        std::printf("usage: renderpreview [OUTDIR]\n\n"
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
    scenes::init_renderer();
    scenes::Frame frame;
    render::set_music_position_source(read_preview_position);
    render::object_colour = 4299;

    struct Shot {
        const char* name;
        void (*draw)();
    };
    const Shot shots[] = {
        {"warp.png", [] {
             for (int32_t k = 0; k < 40; ++k)
                 render::draw_warp();
         }},
        {"warp_crystal.png", [] {
             preview_position = 0x0610;
             render::draw_warp();
             move_object(12);
             render::draw_object(render::object_mesh);
         }},
        {"crystal.png", [] {
             preview_position = 0x1300;
             std::memset(platform::frame_buffer, 0, platform::frame_size);
             render::object_pos_x = 0;
             render::object_pos_y = 0;
             render::object_pos_z = 300;
             render::draw_object(render::object_mesh);
         }},
        {"pulse.png", [] {
             preview_position = 0x0600;
             render::draw_warp();
             move_object(1);
             render::draw_object(render::object_mesh);
         }},
        {"dot_cloud.png", [] {
             const std::vector<render::Point3> cloud = scenes::make_cloud();
             scenes::DotStep dots;
             for (int32_t k = 0; k < 30; ++k)
                 dots.move(scenes::CLOUD_DRAWN, cloud.data(), 400);
             std::memset(platform::frame_buffer, 0, platform::frame_size);
             dots.draw(scenes::CLOUD_DRAWN);
         }},
        {"grain_intro.png", [] {
             intro_picture();
             render::grain_blur();
         }},
        {"text.png", [] {
             intro_picture();
             render::grain_blur();
             for (int32_t k = 37; k < assets::text_event_count; ++k) {
                 const assets::TextEvent& e = assets::text_events[k];
                 if (e.text)
                     render::draw_string(e.text, platform::frame_buffer +
                                                     platform::frame_rows[e.y] + 2 * e.x);
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
