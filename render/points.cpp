// points.cpp -- rotation matrix, transform, projection and the additive dot sprite

#include "render/points.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "render/frame_access.h"
#include "render/tables.h"

namespace render {

namespace {

struct Pipeline {
    int32_t focal = 0;
    int32_t centre_x = 0;
    int32_t centre_y = 0;
    float s1 = 0, c1 = 0, s2 = 0, c2 = 0, s3 = 0, c3 = 0;
    float m[9] = {};
    float tx = 0, ty = 0, tz = 0;
};
Pipeline pipeline;

void rotation_lookup(int32_t angle, float& sine, float& cosine)
{
    const uint32_t index = static_cast<uint32_t>(angle) & (ROTATION_STEPS - 1);
    sine = rotation_sine[index];
    cosine = rotation_cosine[index];
}

// Nearest integer, ties to even; anything that does not fit (or is not a number) becomes
// the marker that callers' bounds tests reject.
int32_t round_to_screen(double v)
{
    const double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return PROJECTION_INVALID;
    return static_cast<int32_t>(r);
}

constexpr int32_t DOT_WIDTH = 64;
constexpr int32_t DOT_HEIGHT = 42;

// Per field: red and blue stop at 31, green at 63. Branch-free so whole rows vectorise.
uint16_t add_saturated(uint16_t d, uint16_t s)
{
    const uint16_t red = std::min<uint16_t>(static_cast<uint16_t>((d >> 11) + (s >> 11)), 31);
    const uint16_t green =
        std::min<uint16_t>(static_cast<uint16_t>(((d >> 5) & 63) + ((s >> 5) & 63)), 63);
    const uint16_t blue = std::min<uint16_t>(static_cast<uint16_t>((d & 31) + (s & 31)), 31);
    return static_cast<uint16_t>((red << 11) | (green << 5) | blue);
}

void add_saturated_row(uint16_t* line, const uint16_t* colours)
{
    for (int32_t col = 0; col < DOT_WIDTH; ++col)
        line[col] = add_saturated(line[col], colours[col]);
}

// The sprite's colours, looked up once for as long as dot_palette stays the same: the up to
// 999 dots of a frame then need no palette look-ups of their own.
const uint16_t* sprite_colours()
{
    static uint16_t palette_seen[256];
    static uint16_t colours[DOT_WIDTH * DOT_HEIGHT];
    static bool built = false;
    if (!built || std::memcmp(palette_seen, dot_palette, sizeof palette_seen) != 0) {
        std::memcpy(palette_seen, dot_palette, sizeof palette_seen);
        for (int32_t row = 0; row < DOT_HEIGHT; ++row)
            for (int32_t col = 0; col < DOT_WIDTH; ++col)
                colours[row * DOT_WIDTH + col] = dot_palette[assets::dot_picture[row * 320 + col]];
        built = true;
    }
    return colours;
}

}  // namespace

void set_projection(int32_t focal, int32_t centre_x, int32_t centre_y)
{
    pipeline.focal = focal;
    pipeline.centre_x = centre_x;
    pipeline.centre_y = centre_y;
}

void set_rotation(int32_t a1, int32_t a2, int32_t a3)
{
    rotation_lookup(a1, pipeline.s1, pipeline.c1);
    rotation_lookup(a2, pipeline.s2, pipeline.c2);
    rotation_lookup(a3, pipeline.s3, pipeline.c3);
}

void set_translation(int32_t x, int32_t y, int32_t z)
{
    pipeline.tx = static_cast<float>(x);
    pipeline.ty = static_cast<float>(y);
    pipeline.tz = static_cast<float>(z);
}

// At rest (all angles 0) the rows come out (0, 0, 1), (0, 1, 0), (1, 0, 0): the rotation
// exchanges x and z, which is why the object and the clouds face the viewer the way they do.
void build_matrix()
{
    const double s1 = pipeline.s1, c1 = pipeline.c1;
    const double s2 = pipeline.s2, c2 = pipeline.c2;
    const double s3 = pipeline.s3, c3 = pipeline.c3;
    float* m = pipeline.m;
    m[0] = static_cast<float>(c1 * s2 * s3 - s1 * c3);
    m[1] = static_cast<float>(c2 * s3);
    m[2] = static_cast<float>(c1 * c3 + s1 * s2 * s3);
    m[3] = static_cast<float>(s1 * s3 + c1 * s2 * c3);
    m[4] = static_cast<float>(c2 * c3);
    m[5] = static_cast<float>(s1 * s2 * c3 - c1 * s3);
    m[6] = static_cast<float>(c1 * c2);
    m[7] = static_cast<float>(-s2);
    m[8] = static_cast<float>(s1 * c2);
}

const float* rotation_matrix()
{
    return pipeline.m;
}

void transform_points(int32_t n, const Point3* in, Point3* out)
{
    const double m0 = pipeline.m[0], m1 = pipeline.m[1], m2 = pipeline.m[2];
    const double m3 = pipeline.m[3], m4 = pipeline.m[4], m5 = pipeline.m[5];
    const double m6 = pipeline.m[6], m7 = pipeline.m[7], m8 = pipeline.m[8];
    const double tx = pipeline.tx, ty = pipeline.ty, tz = pipeline.tz;
    for (int32_t i = 0; i < n; ++i) {
        const double x = in[i].x, y = in[i].y, z = in[i].z;
        out[i].x = static_cast<float>(x * m0 + (y * m3 + z * m6) + tx);
        out[i].y = static_cast<float>(x * m1 + (y * m4 + z * m7) + ty);
        out[i].z = static_cast<float>(x * m2 + (y * m5 + z * m8) + tz);
    }
}

// No test of z: a point behind the viewer projects mirrored through the centre, and z = 0
// gives the invalid marker in both coordinates.
void project_points(int32_t n, const Point3* in, ScreenPoint* out)
{
    const double focal = pipeline.focal;
    const double centre_x = pipeline.centre_x;
    const double centre_y = pipeline.centre_y;
    for (int32_t i = 0; i < n; ++i) {
        const double r = 1.0 / static_cast<double>(in[i].z);
        out[i].y = round_to_screen(static_cast<double>(in[i].y) * focal * r + centre_y);
        out[i].x = round_to_screen(static_cast<double>(in[i].x) * focal * r + centre_x);
    }
}

void plot_dot(uint8_t* address)
{
    const uint16_t* colours = sprite_colours();
    const int64_t origin = detail::frame_offset(address);
    for (int32_t row = 0; row < DOT_HEIGHT; ++row, colours += DOT_WIDTH) {
        const int64_t row_offset = origin + row * 640;
        if (detail::pixel_inside(row_offset) &&
            detail::pixel_inside(row_offset + 2 * (DOT_WIDTH - 1))) {
            uint16_t line[DOT_WIDTH];
            std::memcpy(line, platform::frame_buffer + row_offset, sizeof line);
            add_saturated_row(line, colours);
            std::memcpy(platform::frame_buffer + row_offset, line, sizeof line);
        } else {
            for (int32_t col = 0; col < DOT_WIDTH; ++col) {
                const int64_t offset = row_offset + 2 * col;
                if (detail::pixel_inside(offset))
                    detail::write_pixel(offset,
                                        add_saturated(detail::read_pixel(offset), colours[col]));
            }
        }
    }
}

}  // namespace render
