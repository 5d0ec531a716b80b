// points.h -- the 3D point pipeline (rotate, translate, project) and the additive dot sprite
//
// Call order per use: set_projection, set_rotation, set_translation, build_matrix, then
// transform_points and project_points. The parameters are process-wide state.
#pragma once
#include <cstdint>

namespace render {

struct Point3 {
    float x;
    float y;
    float z;
};

// Projection writes x and y and leaves spare alone. Same size as Point3, so one element
// offset addresses both arrays.
struct ScreenPoint {
    int32_t x;
    int32_t y;
    int32_t spare;
};
static_assert(sizeof(Point3) == 12 && sizeof(ScreenPoint) == 12);

constexpr int32_t PROJECTION_INVALID = INT32_MIN;  // infinite, NaN or out-of-range results

void set_projection(int32_t focal, int32_t centre_x, int32_t centre_y);
void set_rotation(int32_t a1, int32_t a2, int32_t a3);  // 512 units per turn
void set_translation(int32_t x, int32_t y, int32_t z);
void build_matrix();
const float* rotation_matrix();  // m0..m8 as last built

// in and out may be the same array.
void transform_points(int32_t n, const Point3* in, Point3* out);
void project_points(int32_t n, const Point3* in, ScreenPoint* out);

// Adds the 64 x 42 glow (top-left of the dot picture, through dot_palette) with per-field
// saturation, top-left pixel at address in the frame buffer. Callers keep the block inside
// the frame; pixels that would fall outside the buffer are dropped.
void plot_dot(uint8_t* address);

}  // namespace render
