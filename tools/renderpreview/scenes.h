// scenes.h -- the renderer's set-up and the show's dot cloud, as the timeline drives them,
// shared by the preview tool and the benchmarks
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/video.h"
#include "render/object.h"
#include "render/points.h"
#include "render/tables.h"

namespace scenes {

constexpr int32_t CLOUD_POINTS = 1000;
constexpr int32_t CLOUD_DRAWN = 999;

inline void init_renderer()
{
    render::init_rotation_tables();
    render::init_wave_tables();
    render::init_reciprocal_table();
    render::init_palettes();
    render::init_warp();
}

// The 320 x 200 x 16 frame buffer for as long as the object lives, for tools that run
// without a display.
class Frame {
public:
    Frame() { platform::frame_alloc(320, 200, 16); }
    ~Frame() { platform::frame_free(); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    void fill(uint16_t value)
    {
        for (uint32_t i = 0; i < platform::frame_size; i += 2)
            std::memcpy(platform::frame_buffer + i, &value, 2);
    }
};

// The cloud's generator: 75 s folded back into 16 bits the show's way (not quite the
// textbook mod 65537), each value read as a signed 16-bit coordinate.
inline std::vector<render::Point3> make_cloud()
{
    std::vector<render::Point3> cloud(CLOUD_POINTS);
    uint16_t seed = 9273;
    auto next = [&seed]() {
        const int64_t product = 75 * static_cast<int64_t>(seed);
        int64_t t = (product & 0xFFFF) + 74 - (product >> 16);
        if (t < 0)
            t += 1;
        seed = static_cast<uint16_t>(t & 0xFFFF);
        return static_cast<float>(static_cast<int16_t>(seed));
    };
    for (render::Point3& p : cloud) {
        p.x = next();
        p.y = next();
        p.z = next();
    }
    return cloud;
}

struct DotStep {
    int32_t rot_a = 0;
    int32_t rot_b = 0;
    std::vector<render::Point3> transformed = std::vector<render::Point3>(CLOUD_POINTS);
    std::vector<render::ScreenPoint> screen = std::vector<render::ScreenPoint>(CLOUD_POINTS);

    void move(int32_t n, const render::Point3* points, int32_t distance)
    {
        rot_a += 4;
        rot_b += 8;
        render::set_projection(300, 160, 100);
        render::set_rotation(rot_a, rot_b, 0);
        render::set_translation(0, 0, distance);
        render::build_matrix();
        render::transform_points(n, points, transformed.data());
        render::project_points(n, transformed.data(), screen.data());
    }

    // Unsigned bounds keep every 64 x 42 sprite inside the frame and drop negatives.
    void draw(int32_t n) const
    {
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t x = static_cast<uint32_t>(screen[i].x);
            const uint32_t y = static_cast<uint32_t>(screen[i].y);
            if (x <= 255 && y <= 157)
                render::plot_dot(platform::frame_buffer + platform::frame_rows[y] + 2 * x);
        }
    }
};

}  // namespace scenes
