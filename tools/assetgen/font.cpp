// font.cpp -- the bold chrome font: glyphs drawn as round-pen strokes through a coarse grid
//
// Each glyph is a small bitmap; neighbouring set cells are joined by strokes of a round pen
// (diagonals only where no orthogonal path exists), so the letters come out as bold tubes.
// The tubes are lit from the upper left over a chrome gradient and get a dark rim, so they
// read over grey noise, dots and pictures alike.
#include <algorithm>
#include <cmath>
#include <map>

#include "assets/assets.h"
#include "tools/assetgen/assetgen.h"

namespace assetgen {

namespace {

constexpr double PEN = 2.15;             // stroke radius in pixels
constexpr double ROW_STEP = 20.0 / 6.0;  // seven rows from y 3 to y 23
constexpr double TOP = 3.0;
constexpr double LEFT = 2.4;

struct GlyphShape {
    std::vector<const char*> rows;  // seven rows of '#' and '.'
};

const std::map<char, GlyphShape>& shapes()
{
    static const std::map<char, GlyphShape> table = {
        {'!', {{"#", "#", "#", "#", "#", ".", "#"}}},
        {'"', {{"#.#", "#.#", "...", "...", "...", "...", "..."}}},
        {'#', {{".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}}},
        {'$', {{"..#..", ".####", "#.#..", ".###.", "..#.#", "####.", "..#.."}}},
        {'%', {{"##..#", "##..#", "...#.", "..#..", ".#...", "#..##", "#..##"}}},
        {'&', {{".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}}},
        {'\'', {{"#", "#", ".", ".", ".", ".", "."}}},
        {'(', {{"..#", ".#.", "#..", "#..", "#..", ".#.", "..#"}}},
        {')', {{"#..", ".#.", "..#", "..#", "..#", ".#.", "#.."}}},
        {'*', {{".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}}},
        {'+', {{".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}}},
        {',', {{"..", "..", "..", "..", "..", ".#", "#."}}},
        {'-', {{"....", "....", "....", "####", "....", "....", "...."}}},
        {'.', {{".", ".", ".", ".", ".", ".", "#"}}},
        {'/', {{"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}}},
        {'0', {{".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}}},
        {'1', {{"..#..", ".##..", "#.#..", "..#..", "..#..", "..#..", "#####"}}},
        {'2', {{".###.", "#...#", "....#", "..##.", ".#...", "#....", "#####"}}},
        {'3', {{".###.", "#...#", "....#", "..##.", "....#", "#...#", ".###."}}},
        {'4', {{"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}}},
        {'5', {{"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}}},
        {'6', {{".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}}},
        {'7', {{"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}}},
        {'8', {{".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}}},
        {'9', {{".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}}},
        {':', {{".", ".", "#", ".", ".", "#", "."}}},
        {';', {{"..", "..", ".#", "..", "..", ".#", "#."}}},
        {'<', {{"...#", "..#.", ".#..", "#...", ".#..", "..#.", "...#"}}},
        {'=', {{".....", ".....", "#####", ".....", "#####", ".....", "....."}}},
        {'>', {{"#...", ".#..", "..#.", "...#", "..#.", ".#..", "#..."}}},
        {'?', {{".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."}}},
        {'@', {{".###.", "#...#", "#.###", "#.#.#", "#.###", "#....", ".####"}}},
        {'A', {{".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}}},
        {'B', {{"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}}},
        {'C', {{".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}}},
        {'D', {{"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}}},
        {'E', {{"#####", "#....", "#....", "####.", "#....", "#....", "#####"}}},
        {'F', {{"#####", "#....", "#....", "####.", "#....", "#....", "#...."}}},
        {'G', {{".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}}},
        {'H', {{"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}}},
        {'I', {{"#", "#", "#", "#", "#", "#", "#"}}},
        {'J', {{"....#", "....#", "....#", "....#", "#...#", "#...#", ".###."}}},
        {'K', {{"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}}},
        {'L', {{"#..", "#..", "#..", "#..", "#..", "#..", "###"}}},
        {'M', {{"#.....#", "##...##", "#.#.#.#", "#..#..#", "#.....#", "#.....#", "#.....#"}}},
        {'N', {{"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}}},
        {'O', {{".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}}},
        {'P', {{"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}}},
        {'Q', {{".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}}},
        {'R', {{"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}}},
        {'S', {{".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."}}},
        {'T', {{"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}}},
        {'U', {{"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}}},
        {'V', {{"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}}},
        {'W', {{"#.....#", "#.....#", "#.....#", "#..#..#", "#.#.#.#", "##...##", "#.....#"}}},
        {'X', {{"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}}},
        {'Y', {{"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}}},
        {'Z', {{"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}}},
        {'[', {{"###", "#..", "#..", "#..", "#..", "#..", "###"}}},
        {'\\', {{"#....", "#....", ".#...", "..#..", "...#.", "....#", "....#"}}},
    };
    return table;
}

struct Segment {
    double x0, y0, x1, y1;
};

double column_step(char ch)
{
    return (ch == 'W' || ch == 'M') ? 3.0 : 2.5;
}

// The pen's path for a glyph, in glyph pixels.
std::vector<Segment> skeleton(char ch)
{
    std::vector<Segment> segments;
    const auto it = shapes().find(ch);
    if (it == shapes().end()) return segments;
    const std::vector<const char*>& rows = it->second.rows;
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(std::string(rows[0]).size());
    auto on = [&](int c, int r) {
        return c >= 0 && r >= 0 && c < w && r < h && rows[static_cast<size_t>(r)][c] == '#';
    };
    const double step = column_step(ch);
    // Narrow punctuation stands in the middle of its advance.
    double left = LEFT;
    if (assets::glyph_advance(ch) == assets::glyph_advance(' ') && w < 5)
        left += (4 - (w - 1)) * step * 0.5;
    auto px = [&](int c) { return left + c * step; };
    auto py = [&](int r) { return TOP + r * ROW_STEP; };
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            if (!on(c, r)) continue;
            segments.push_back({px(c), py(r), px(c), py(r)});
            if (on(c + 1, r)) segments.push_back({px(c), py(r), px(c + 1), py(r)});
            if (on(c, r + 1)) segments.push_back({px(c), py(r), px(c), py(r + 1)});
            if (on(c + 1, r + 1) && !on(c + 1, r) && !on(c, r + 1))
                segments.push_back({px(c), py(r), px(c + 1), py(r + 1)});
            if (on(c - 1, r + 1) && !on(c - 1, r) && !on(c, r + 1))
                segments.push_back({px(c), py(r), px(c - 1), py(r + 1)});
        }
    }
    return segments;
}

// Distance from (x, y) to the nearest stroke centre line, and the direction away from it.
double nearest(const std::vector<Segment>& segments, double x, double y, double* nx, double* ny)
{
    double best = 1e9;
    *nx = 0.0;
    *ny = 0.0;
    for (const Segment& s : segments) {
        const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0.0 ? ((x - s.x0) * dx + (y - s.y0) * dy) / len2 : 0.0;
        t = clamp01(t);
        const double ex = x - (s.x0 + t * dx), ey = y - (s.y0 + t * dy);
        const double d = std::sqrt(ex * ex + ey * ey);
        if (d < best) {
            best = d;
            *nx = d > 1e-9 ? ex / d : 0.0;
            *ny = d > 1e-9 ? ey / d : 0.0;
        }
    }
    return best;
}

// Brightness 0..1 of a stroke pixel: chrome sky-and-ground gradient plus the tube's lighting.
double stroke_shade(double y, double d, double nx, double ny)
{
    const double t = y / assets::GLYPH_HEIGHT;
    double sky =
        t < 0.52 ? 1.0 - 0.75 * smoothstep(0.0, 0.52, t) : 0.95 - 0.55 * smoothstep(0.52, 1.0, t);
    const double h = std::sqrt(std::max(0.0, 1.0 - (d / PEN) * (d / PEN)));
    const double r = d / PEN;
    const double lx = -0.45, ly = -0.55, lz = 0.70;
    const double diffuse = std::max(0.0, nx * r * lx + ny * r * ly + h * lz);
    const double shine = std::pow(diffuse, 12.0);
    return clamp01(0.15 + 0.5 * sky + 0.35 * diffuse + 0.35 * shine);
}

}  // namespace

int text_width(const std::string& text)
{
    int w = 0;
    for (char ch : text) w += assets::glyph_advance(ch);
    return w;
}

std::vector<double> glyph_coverage(char ch)
{
    std::vector<double> cov(static_cast<size_t>(assets::GLYPH_WIDTH) * assets::GLYPH_HEIGHT, 0.0);
    const std::vector<Segment> segs = skeleton(ch);
    if (segs.empty()) return cov;
    for (int y = 0; y < assets::GLYPH_HEIGHT; ++y)
        for (int x = 0; x < assets::GLYPH_WIDTH; ++x) {
            double nx, ny;
            const double d = nearest(segs, x + 0.5, y + 0.5, &nx, &ny);
            cov[static_cast<size_t>(y) * assets::GLYPH_WIDTH + x] = clamp01(PEN - d + 0.5);
        }
    return cov;
}

void draw_text(Canvas& canvas, const std::string& text, double x, double y, double scale,
               double value)
{
    double pen_x = x;
    for (char ch : text) {
        const std::vector<Segment> segs = skeleton(ch);
        if (!segs.empty()) {
            const int x0 = std::max(0, static_cast<int>(pen_x));
            const int x1 =
                std::min(canvas.width, static_cast<int>(pen_x + assets::GLYPH_WIDTH * scale) + 1);
            const int y0 = std::max(0, static_cast<int>(y));
            const int y1 =
                std::min(canvas.height, static_cast<int>(y + assets::GLYPH_HEIGHT * scale) + 1);
            for (int py = y0; py < y1; ++py)
                for (int px = x0; px < x1; ++px) {
                    double nx, ny;
                    const double d =
                        nearest(segs, (px + 0.5 - pen_x) / scale, (py + 0.5 - y) / scale, &nx, &ny);
                    const double cov = clamp01((PEN - d) * scale + 0.5);
                    canvas.at(px, py) = std::max(canvas.at(px, py), cov * value);
                }
        }
        pen_x += assets::glyph_advance(ch) * scale;
    }
}

Font make_font()
{
    Font font;
    font.sheet.assign(assets::FONT_WIDTH * assets::FONT_HEIGHT, 0);
    for (int ch = assets::FIRST_GLYPH; ch <= assets::LAST_GLYPH; ++ch) {
        const std::vector<Segment> segs = skeleton(static_cast<char>(ch));
        const int cell_x = 1 + assets::GLYPH_PITCH * (ch - 32);
        for (int y = 0; y < assets::GLYPH_HEIGHT; ++y)
            for (int x = 0; x < assets::GLYPH_WIDTH; ++x) {
                double nx, ny;
                const double d = nearest(segs, x + 0.5, y + 0.5, &nx, &ny);
                uint8_t index = 0;
                if (d <= PEN) {
                    index = static_cast<uint8_t>(
                        2 + std::lround(stroke_shade(y + 0.5, d, nx, ny) * 253.0));
                } else if (d <= PEN + 1.25) {
                    index = 1;
                }
                font.sheet[static_cast<size_t>(1 + y) * assets::FONT_WIDTH +
                           static_cast<size_t>(cell_x + x)] = index;
            }
    }
    // Index 1 is the dark rim; 2..255 run from deep copper through gold to white.
    font.palette = palette_from_stops({{0, 0.0, 0.0, 0.0},
                                       {1, 0.06, 0.03, 0.10},
                                       {2, 0.22, 0.06, 0.02},
                                       {80, 0.62, 0.24, 0.04},
                                       {150, 0.95, 0.60, 0.12},
                                       {210, 1.0, 0.88, 0.45},
                                       {255, 1.0, 1.0, 0.95}});
    return font;
}

}  // namespace assetgen
