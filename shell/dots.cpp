// dots.cpp -- the cloud generator and the dot step

#include "shell/dots.h"

#include "platform/video.h"

namespace shell {

uint16_t cloud_step(uint16_t seed)
{
    const int32_t product = 75 * static_cast<int32_t>(seed);
    int32_t t = (product & 0xFFFF) + 74 - (product >> 16);
    if (t < 0) t += 1;
    // A sum past 65535 wraps here, where the textbook generator would subtract 65537.
    return static_cast<uint16_t>(t & 0xFFFF);
}

void make_cloud(render::Point3* points, int32_t count, uint16_t& seed)
{
    auto next = [&seed]() {
        seed = cloud_step(seed);
        return static_cast<float>(static_cast<int16_t>(seed));
    };
    for (int32_t i = 0; i < count; ++i) {
        points[i].x = next();
        points[i].y = next();
        points[i].z = next();
    }
}

void project_dots(int32_t n, const render::Point3* points, int32_t distance, int32_t rot_a,
                  int32_t rot_b, render::Point3* transformed, render::ScreenPoint* screen)
{
    render::set_projection(300, 160, 100);
    render::set_rotation(rot_a, rot_b, 0);
    render::set_translation(0, 0, distance);
    render::build_matrix();
    render::transform_points(n, points, transformed);
    render::project_points(n, transformed, screen);
}

void draw_dots(int32_t n, const render::ScreenPoint* screen)
{
    for (int32_t i = 0; i < n; ++i) {
        // Taken unsigned, negative coordinates fail too; 255 and 157 leave room for the
        // sprite's 64 x 42 pixels.
        const auto x = static_cast<uint32_t>(screen[i].x);
        const auto y = static_cast<uint32_t>(screen[i].y);
        if (x <= 255 && y <= 157)
            render::plot_dot(platform::frame_buffer + platform::frame_rows[y] + 2 * x);
    }
}

}  // namespace shell
