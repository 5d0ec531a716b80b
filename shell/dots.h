// dots.h -- the glowing dot clouds: the cloud's number generator and the dot step's
// transform, projection and drawing
#pragma once
#include <cstdint>

#include "render/points.h"

namespace shell {

constexpr int32_t CLOUD_POINTS = 1000;
constexpr int32_t CLOUD_DRAWN = 999;  // the last generated point is never drawn
constexpr uint16_t CLOUD_SEED = 9273;

// One step of the cloud's generator: 75 s folded back into 16 bits the show's way, which is
// not quite the textbook (75 s + 74) mod 65537 (CloudTest.FoldsPastTheTopTheShowsWay).
uint16_t cloud_step(uint16_t seed);
// Fills `count` points, x, y, z of each in turn, with successive generator values read as
// signed 16-bit coordinates; `seed` is left where the generator stopped.
void make_cloud(render::Point3* points, int32_t count, uint16_t& seed);

// Rotates the points by (rot_a, rot_b, 0), moves them `distance` away and projects them with
// the show's camera (focal length 300, centre 160, 100) into `screen`. `transformed` is
// scratch for n points.
void project_dots(int32_t n, const render::Point3* points, int32_t distance, int32_t rot_a,
                  int32_t rot_b, render::Point3* transformed, render::ScreenPoint* screen);
// Plots a dot at each screen point whose whole 64 x 42 sprite fits in the frame.
void draw_dots(int32_t n, const render::ScreenPoint* screen);

}  // namespace shell
