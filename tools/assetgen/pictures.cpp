// pictures.cpp -- the show's pictures, the fade mask, the dot glow, the warp texture and maps
#include <algorithm>
#include <cmath>

#include "tools/assetgen/assetgen.h"

namespace assetgen {

namespace {

constexpr double PI = 3.14159265358979323846;

Bytes to_bytes(const Canvas& c)
{
    Bytes out(c.pixels.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = to_byte(c.pixels[i]);
    return out;
}

// The grain adds up to 7 to the low byte of a pixel; a blue above 24 would overflow into
// green and come out of the grey blur as a dark hole. Pictures shown at 32 levels therefore
// stop at 199 (24 after the shift), and overlay blues at 24.
constexpr double STROBE_TOP = 199.0 / 255.0;
constexpr int OVERLAY_TOP_BLUE = 24;

Bytes to_strobe_bytes(const Canvas& c)
{
    Bytes out(c.pixels.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = to_byte(c.pixels[i] * STROBE_TOP);
    return out;
}

void stars(Canvas& c, Random& rng, int count, double brightness)
{
    for (int i = 0; i < count; ++i) {
        const int x = static_cast<int>(rng.unit() * c.width);
        const int y = static_cast<int>(rng.unit() * c.height);
        const double b = brightness * (0.3 + 0.7 * rng.unit() * rng.unit());
        c.at(x, y) = std::max(c.at(x, y), b);
        if (b > brightness * 0.75) {
            // A few big stars get a small cross.
            if (x > 0) c.at(x - 1, y) = std::max(c.at(x - 1, y), b * 0.5);
            if (x + 1 < c.width) c.at(x + 1, y) = std::max(c.at(x + 1, y), b * 0.5);
            if (y > 0) c.at(x, y - 1) = std::max(c.at(x, y - 1), b * 0.5);
            if (y + 1 < c.height) c.at(x, y + 1) = std::max(c.at(x, y + 1), b * 0.5);
        }
    }
}

// A ringed planet over a starfield. Its title words come from the text overlay, so the
// picture leaves the top and bottom bands fairly quiet.
Bytes make_intro()
{
    Canvas c(SCREEN_W, SCREEN_H, 0.0);
    Random rng(0x1A7E0001);
    stars(c, rng, 420, 0.85);
    const double cx = 168.0, cy = 98.0, radius = 58.0;
    const double tilt = -0.28;  // ring plane tilt
    const double ct = std::cos(tilt), st = std::sin(tilt);
    auto ring_value = [&](double x, double y, bool* front) {
        // Rotate into the ring's frame; the ring is a flattened ellipse.
        const double rx = (x - cx) * ct - (y - cy) * st;
        const double ry = ((x - cx) * st + (y - cy) * ct) / 0.28;
        const double r = std::sqrt(rx * rx + ry * ry);
        *front = ry > 0.0;
        if (r < radius * 1.32 || r > radius * 2.25) return 0.0;
        const double band = 0.55 + 0.45 * std::sin(r * 0.55) * std::sin(r * 0.13 + 1.0);
        const double gap = (r > radius * 1.72 && r < radius * 1.80) ? 0.08 : 1.0;
        const double edge = smoothstep(radius * 1.32, radius * 1.40, r) *
                            (1.0 - smoothstep(radius * 2.15, radius * 2.25, r));
        return clamp01(band * gap * edge * 0.95);
    };
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            bool front = false;
            const double ring = ring_value(px, py, &front);
            double v = c.at(x, y);
            if (!front && ring > 0.0) v = std::max(v, ring * 0.85);
            const double dx = (px - cx) / radius, dy = (py - cy) / radius;
            const double d2 = dx * dx + dy * dy;
            if (d2 < 1.0) {
                const double dz = std::sqrt(1.0 - d2);
                // Light from the upper left, a little in front.
                const double lambert = std::max(0.0, -0.62 * dx - 0.48 * dy + 0.62 * dz);
                const double lat = dy * 3.2 + 0.6 * tile_fbm(dx * 4 + 8, dy * 4 + 8, 16, 3, 7);
                const double bands = 0.78 + 0.22 * std::sin(lat * PI * 1.7);
                const double rim = std::pow(1.0 - dz, 3.0) * 0.6;
                v = clamp01(0.06 + lambert * bands * 0.95 + rim * lambert);
                // The ring's shadow on the planet.
                bool f2 = false;
                if (ring_value(px + 9.0, py + 5.0, &f2) > 0.2) v *= 0.45;
            } else if (d2 < 1.25) {
                // Thin atmosphere halo on the lit side.
                const double halo = (1.25 - d2) / 0.25;
                const double side = clamp01(0.5 - 0.7 * dx - 0.5 * dy);
                v = std::max(v, halo * halo * side * 0.55);
            }
            if (front && ring > 0.0) v = std::max(v * (1.0 - ring * 0.8), ring);
            c.at(x, y) = v;
        }
    // A small moon at the lower left.
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double dx = (x + 0.5 - 58.0) / 15.0, dy = (y + 0.5 - 138.0) / 15.0;
            const double d2 = dx * dx + dy * dy;
            if (d2 >= 1.0) continue;
            const double dz = std::sqrt(1.0 - d2);
            const double lambert = std::max(0.0, -0.62 * dx - 0.48 * dy + 0.62 * dz);
            const double crater = 0.75 + 0.25 * tile_fbm(dx * 3 + 4, dy * 3 + 4, 8, 3, 21);
            c.at(x, y) = clamp01(0.04 + lambert * crater);
        }
    return to_bytes(c);
}

// First strobe: a sunburst of twelve hard rays around a ringed disc.
Bytes make_strobe1()
{
    Canvas c(SCREEN_W, SCREEN_H, 0.0);
    const double cx = 160.0, cy = 100.0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double dx = (x + 0.5 - cx) * 0.85, dy = y + 0.5 - cy;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double a = std::atan2(dy, dx) / (2.0 * PI) + 0.5;  // 0..1
            double v = 0.0;
            if (r < 34.0) {
                v = 1.0 - 0.35 * (r / 34.0);
            } else if (r >= 40.0 && r < 47.0) {
                v = 0.9;
            } else if (r >= 55.0) {
                const double phase = std::fmod(a * 12.0 + 0.04 * std::sin(r * 0.05), 1.0);
                if (phase < 0.3) v = 0.95 - 0.5 * clamp01((r - 55.0) / 180.0);
            }
            c.at(x, y) = v;
        }
    return to_strobe_bytes(c);
}

// Second strobe: a banded sun over a chequered floor running to the horizon.
Bytes make_strobe2()
{
    Canvas c(SCREEN_W, SCREEN_H, 0.0);
    const double horizon = 112.0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            double v = 0.0;
            if (py > horizon + 2.0) {
                // Four by four samples per pixel keep the far squares from breaking into moire;
                // the floor fades into the dark before the horizon.
                double cover = 0.0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        const double qx = x + (sx + 0.5) / 4.0, qy = y + (sy + 0.5) / 4.0;
                        const double depth = 900.0 / (qy - horizon);
                        const double wx = (qx - 160.0) * depth / 120.0;
                        const int cu = static_cast<int>(std::floor(wx / 3.0));
                        const int cv = static_cast<int>(std::floor(depth / 3.0));
                        if (((cu + cv) & 1) == 0) cover += 1.0 / 16.0;
                    }
                const double depth = 900.0 / (py - horizon);
                v = cover * clamp01(1.3 - depth / 60.0);
            } else {
                const double dx = (px - 160.0) * 0.85, dy = py - 68.0;
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r < 52.0) {
                    // Bands that thicken towards the bottom of the sun.
                    const double t = (py - 16.0) / 104.0;
                    const double band = std::fmod(py - 16.0, 11.0) / 11.0;
                    const bool cut = t > 0.45 && band < (t - 0.4) * 0.9;
                    if (!cut) v = 1.0 - 0.45 * clamp01(t);
                }
            }
            c.at(x, y) = v;
        }
    return to_strobe_bytes(c);
}

uint8_t overlay_byte(double v)
{
    // Blue carries the intensity; a touch of green makes it cold steel.
    const int blue = static_cast<int>(std::lround(clamp01(v) * OVERLAY_TOP_BLUE));
    const int green = blue / 5;
    const int b = (green << 5) | blue;
    return static_cast<uint8_t>(b == 0 ? 1 : b);
}

// Overlay of the last scene: a frame with corner pieces and the show's name above the object.
Bytes make_final()
{
    Canvas c(SCREEN_W, SCREEN_H, 0.0);
    auto rect = [&](int x0, int y0, int x1, int y1, double v) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) c.at(x, y) = std::max(c.at(x, y), v);
    };
    // Outer and inner frame lines.
    rect(0, 0, SCREEN_W, 2, 0.9);
    rect(0, SCREEN_H - 2, SCREEN_W, SCREEN_H, 0.9);
    rect(0, 0, 2, SCREEN_H, 0.9);
    rect(SCREEN_W - 2, 0, SCREEN_W, SCREEN_H, 0.9);
    rect(5, 5, SCREEN_W - 5, 6, 0.55);
    rect(5, SCREEN_H - 6, SCREEN_W - 5, SCREEN_H - 5, 0.55);
    rect(5, 5, 6, SCREEN_H - 5, 0.55);
    rect(SCREEN_W - 6, 5, SCREEN_W - 5, SCREEN_H - 5, 0.55);
    // Corner pieces: stepped brackets.
    for (int k = 0; k < 4; ++k) {
        const bool right = k & 1, bottom = k & 2;
        for (int s = 0; s < 3; ++s) {
            const int len = 34 - s * 9, off = 9 + s * 5;
            const int x0 = right ? SCREEN_W - off - len : off;
            const int y0 = bottom ? SCREEN_H - off - 2 : off;
            rect(x0, y0, x0 + len, y0 + 2, 1.0 - s * 0.2);
            const int vx = right ? SCREEN_W - off - 2 : off;
            const int vy = bottom ? SCREEN_H - off - len : off;
            rect(vx, vy, vx + 2, vy + len, 1.0 - s * 0.2);
        }
    }
    const std::string title = "QUORBELA";
    const double scale = 1.25;
    const double w = text_width(title) * scale;
    draw_text(c, title, (SCREEN_W - w) / 2.0 + 2.0, 12.0, scale, 1.0);
    Bytes out(c.pixels.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const double v = c.pixels[i];
        out[i] = v > 0.02 ? overlay_byte(0.25 + 0.75 * v) : 0;
    }
    // The title gets a vertical sheen: bright at the top, steel below.
    for (int y = 12; y < 48; ++y)
        for (int x = 20; x < 300; ++x) {
            const size_t i = static_cast<size_t>(y) * SCREEN_W + x;
            if (out[i] != 0 && c.pixels[i] > 0.5)
                out[i] = overlay_byte(1.0 - 0.55 * (y - 12) / 36.0);
        }
    return out;
}

// The wipe of the mask fade: three spiral arms. Low values darken first, so the arms grow
// out of the centre; values above what the fade reaches stay lit as thin bright seams.
Bytes make_fade_mask()
{
    Bytes out(static_cast<size_t>(SCREEN_W) * SCREEN_H);
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double dx = (x + 0.5 - 160.0) * 0.85, dy = y + 0.5 - 100.0;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double a = std::atan2(dy, dx) / (2.0 * PI);
            double arm = a * 3.0 + r / 70.0;
            arm -= std::floor(arm);
            const double reach = clamp01(r / 190.0);
            // Position along the arm (0..1) and distance from the centre both delay the wipe.
            const double t = 0.62 * arm + 0.38 * reach;
            const int m = 1 + static_cast<int>(std::lround(t * 212.0));
            out[static_cast<size_t>(y) * SCREEN_W + x] =
                static_cast<uint8_t>(std::clamp(m, 1, 255));
        }
    return out;
}

// The dot sprite: a soft round glow in the top-left 64 x 42, black elsewhere.
Bytes make_dot()
{
    Bytes out(static_cast<size_t>(SCREEN_W) * SCREEN_H, 0);
    for (int y = 0; y < 42; ++y)
        for (int x = 0; x < 64; ++x) {
            // The pixels are taller than wide on the 4:3 screen, so the glow is wider in pixels.
            const double dx = (x + 0.5 - 32.0) / 31.0, dy = (y + 0.5 - 21.0) / 20.5;
            const double r2 = dx * dx + dy * dy;
            if (r2 >= 1.0) continue;
            const double core = std::exp(-r2 * 18.0);
            const double halo = std::pow(1.0 - r2, 2.4) * 0.34;
            out[static_cast<size_t>(y) * SCREEN_W + x] = to_byte(core * 0.65 + halo);
        }
    return out;
}

Palette make_dot_palette()
{
    return palette_from_stops({{0, 0.0, 0.0, 0.0},
                               {40, 0.06, 0.02, 0.16},
                               {100, 0.16, 0.10, 0.50},
                               {170, 0.20, 0.55, 0.85},
                               {230, 0.75, 0.95, 1.0},
                               {255, 1.0, 1.0, 1.0}});
}

// Warp texture: domain-warped marble veins over tiled rings; every term has a whole number
// of periods across 256 texels so the picture wraps without a seam.
Bytes make_warp_texture()
{
    Bytes out(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double u = x / 256.0, v = y / 256.0;
            const double n1 = tile_fbm(u * 8.0, v * 8.0, 8, 4, 31);
            const double n2 = tile_fbm(u * 8.0 + 3.1, v * 8.0 + 1.7, 8, 4, 57);
            const double marble = 0.5 + 0.5 * std::sin(2.0 * PI * (2.0 * u + 3.0 * v) + 7.0 * n1);
            // Rings centred on a 4 x 4 lattice.
            const double cu = u * 4.0 - std::floor(u * 4.0) - 0.5,
                         cv = v * 4.0 - std::floor(v * 4.0) - 0.5;
            const double rr = std::sqrt(cu * cu + cv * cv) + 0.15 * (n2 - 0.5);
            const double ring = std::pow(0.5 + 0.5 * std::cos(rr * 2.0 * PI * 3.0), 6.0);
            double value = 0.62 * marble + 0.38 * ring + 0.25 * (n2 - 0.5);
            value = clamp01(value);
            out[static_cast<size_t>(y) * 256 + x] = to_byte(value);
        }
    return out;
}

Palette make_warp_palette()
{
    return palette_from_stops({{0, 0.02, 0.0, 0.10},
                               {50, 0.10, 0.05, 0.45},
                               {100, 0.05, 0.40, 0.75},
                               {140, 0.35, 0.85, 0.90},
                               {175, 0.95, 0.95, 0.85},
                               {205, 1.0, 0.65, 0.25},
                               {235, 0.85, 0.20, 0.35},
                               {255, 0.40, 0.05, 0.40}});
}

// Polar map of the screen: high byte the angle (256 a turn), low byte the distance.
std::vector<uint16_t> make_swirl_map()
{
    std::vector<uint16_t> out(static_cast<size_t>(SCREEN_W) * SCREEN_H);
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            const double dx = x + 0.5 - 160.0, dy = y + 0.5 - 100.0;
            const double angle = std::atan2(dy, dx) / (2.0 * PI) * 256.0;
            const int high = static_cast<int>(std::floor(angle + 256.0)) & 255;
            const double r = std::sqrt(dx * dx + dy * dy);
            const int low = std::min(255, static_cast<int>(r * 255.0 / 189.0));
            out[static_cast<size_t>(y) * SCREEN_W + x] = static_cast<uint16_t>(high << 8 | low);
        }
    return out;
}

Bytes make_sine_bytes()
{
    Bytes out(256);
    for (int k = 0; k < 256; ++k)
        out[static_cast<size_t>(k)] =
            static_cast<uint8_t>(std::lround(127.0 + 127.0 * std::sin(2.0 * PI * k / 256.0)));
    return out;
}

}  // namespace

Pictures make_pictures()
{
    Pictures p;
    p.intro = make_intro();
    p.strobe1 = make_strobe1();
    p.strobe2 = make_strobe2();
    p.final_overlay = make_final();
    p.fade_mask = make_fade_mask();
    p.dot = make_dot();
    p.dot_palette = make_dot_palette();
    p.warp_texture = make_warp_texture();
    p.warp_palette = make_warp_palette();
    p.swirl_map = make_swirl_map();
    p.sine_bytes = make_sine_bytes();
    return p;
}

}  // namespace assetgen
