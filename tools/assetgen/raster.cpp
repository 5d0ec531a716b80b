// raster.cpp -- small drawing helpers: clamping, tileable noise, palettes from colour stops
#include <cmath>

#include "tools/assetgen/assetgen.h"

namespace assetgen {

double clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

uint8_t to_byte(double v)
{
    return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0));
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

namespace {

double lattice(int x, int y, int period, uint32_t seed)
{
    const uint32_t px = static_cast<uint32_t>(((x % period) + period) % period);
    const uint32_t py = static_cast<uint32_t>(((y % period) + period) % period);
    uint32_t h = px * 0x8DA6B343u ^ py * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / 16777215.0;
}

}  // namespace

double tile_noise(double x, double y, int period, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = smoothstep(0.0, 1.0, x - fx), ty = smoothstep(0.0, 1.0, y - fy);
    const double a = lattice(ix, iy, period, seed), b = lattice(ix + 1, iy, period, seed);
    const double c = lattice(ix, iy + 1, period, seed), d = lattice(ix + 1, iy + 1, period, seed);
    return (a + (b - a) * tx) * (1.0 - ty) + (c + (d - c) * tx) * ty;
}

double tile_fbm(double x, double y, int period, int octaves, uint32_t seed)
{
    double sum = 0.0, weight = 0.5, total = 0.0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * tile_noise(x, y, period, seed + static_cast<uint32_t>(o) * 101u);
        total += weight;
        x *= 2.0;
        y *= 2.0;
        period *= 2;
        weight *= 0.5;
    }
    return sum / total;
}

Palette palette_from_stops(const std::vector<ColourStop>& stops)
{
    Palette p{};
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
        while (k + 2 < stops.size() && stops[k + 1].index < i) ++k;
        const ColourStop& a = stops[k];
        const ColourStop& b = stops[k + 1];
        double t =
            b.index == a.index ? 0.0 : static_cast<double>(i - a.index) / (b.index - a.index);
        t = clamp01(t);
        const double r = a.r + (b.r - a.r) * t, g = a.g + (b.g - a.g) * t,
                     bl = a.b + (b.b - a.b) * t;
        p[static_cast<size_t>(i) * 3 + 0] = static_cast<uint8_t>(std::lround(clamp01(bl) * 63.0));
        p[static_cast<size_t>(i) * 3 + 1] = static_cast<uint8_t>(std::lround(clamp01(g) * 63.0));
        p[static_cast<size_t>(i) * 3 + 2] = static_cast<uint8_t>(std::lround(clamp01(r) * 63.0));
    }
    return p;
}

}  // namespace assetgen
