// assetgen.h -- the pieces of the asset generator: rasters, pictures, font, mesh, song
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

using Bytes = std::vector<uint8_t>;

constexpr int SCREEN_W = 320;
constexpr int SCREEN_H = 200;

// A stored palette: 256 (blue, green, red) triplets of 6-bit values.
using Palette = std::array<uint8_t, 768>;

// Deterministic generator (xorshift64*): the same sequence on every build and platform.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint32_t next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
    }
    // Uniform in [0, 1).
    double unit() { return next() * (1.0 / 4294967296.0); }
    // Uniform in [-1, 1).
    double signed_unit() { return unit() * 2.0 - 1.0; }

private:
    uint64_t state_;
};

// A float raster used while drawing; converted to bytes at the end.
struct Canvas {
    int width = 0, height = 0;
    std::vector<double> pixels;
    Canvas(int w, int h, double fill = 0.0)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill)
    {
    }
    double& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    double at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

double clamp01(double v);
uint8_t to_byte(double v);  // 0..1 -> 0..255, rounded
double smoothstep(double edge0, double edge1, double x);
// Tileable value noise over a period of `period` lattice cells; result in [0, 1].
double tile_noise(double x, double y, int period, uint32_t seed);
double tile_fbm(double x, double y, int period, int octaves, uint32_t seed);

// Palette from colour stops (position 0..255, r, g, b in 0..1), linearly interpolated.
struct ColourStop {
    int index;
    double r, g, b;
};
Palette palette_from_stops(const std::vector<ColourStop>& stops);

// Font: the sheet and its palette, plus a drawing helper that other pictures use for titles.
struct Font {
    Bytes sheet;  // laid out as assets::font_sheet
    Palette palette;
};
Font make_font();
// Coverage mask of a glyph (assets::GLYPH_WIDTH x GLYPH_HEIGHT, 0..1) for character ch; empty
// for unknown characters.
std::vector<double> glyph_coverage(char ch);
int text_width(const std::string& text);  // the sum of the glyph advances
// Draws text with glyph coverage scaled by `scale` onto a canvas (max blend with `value`).
void draw_text(Canvas& canvas, const std::string& text, double x, double y, double scale,
               double value);

struct Pictures {
    Bytes intro, strobe1, strobe2, final_overlay, fade_mask, dot;
    Palette dot_palette;
    Bytes warp_texture;  // 256 x 256
    Palette warp_palette;
    std::vector<uint16_t> swirl_map;
    Bytes sine_bytes;
};
Pictures make_pictures();

struct Mesh {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<int32_t, 3>> faces;
};
Mesh make_mesh();

// The song as XM bytes, exactly the module size.
Bytes make_song();

// Previews.

}  // namespace assetgen
