// tables.cpp -- sine, reciprocal and palette tables and the warp coordinate map

#include "render/tables.h"

#include <cmath>
#include <numbers>

#include "render/object.h"
#include "render/text.h"

namespace render {

float rotation_sine[ROTATION_STEPS];
float rotation_cosine[ROTATION_STEPS];
float wave_sine[WAVE_STEPS];
float wave_cosine[WAVE_STEPS];
double reciprocals[RECIPROCAL_COUNT];
double slope_scale;
uint16_t font_palette[256];
uint16_t dot_palette[256];
uint16_t warp_palette[256];
uint16_t warp_map[WARP_MAP_SIZE];
float wave_sin;
float wave_cos;

namespace {

// The step is pi / half in double; only the stored value is rounded to single precision.
void fill_sine_pair(float* sine, float* cosine, int32_t count)
{
    const double step = std::numbers::pi / static_cast<double>(count / 2);
    for (int32_t k = 0; k < count; ++k) {
        const double angle = static_cast<double>(k) * step;
        sine[k] = static_cast<float>(std::sin(angle));
        cosine[k] = static_cast<float>(std::cos(angle));
    }
}

// Low 8 bits of the nearest integer (ties to even) of a running sum that stays well inside
// the 64-bit range.
uint8_t low_byte_of_rounded(double sum)
{
    return static_cast<uint8_t>(std::llrint(sum) & 255);
}

}  // namespace

void init_rotation_tables()
{
    fill_sine_pair(rotation_sine, rotation_cosine, ROTATION_STEPS);
}

void init_wave_tables()
{
    fill_sine_pair(wave_sine, wave_cosine, WAVE_STEPS);
}

void init_reciprocal_table()
{
    // 2^32 - 1 rather than 2^32: every slope comes out a hair short of exact.
    slope_scale = 4294967295.0;
    for (int32_t k = 0; k < RECIPROCAL_COUNT; ++k)
        reciprocals[k] = 1.0 / static_cast<double>(k + 1);
    load_object_mesh();
}

void convert_palette(const uint8_t* stored, uint16_t* out)
{
    for (int32_t i = 0; i < 256; ++i) {
        const uint32_t blue = stored[3 * i] & 63;
        const uint32_t green = stored[3 * i + 1] & 63;
        const uint32_t red = stored[3 * i + 2] & 63;
        out[i] = static_cast<uint16_t>(((red >> 1) << 11) | (green << 5) | (blue >> 1));
    }
}

void init_palettes()
{
    convert_palette(assets::font_palette_stored, font_palette);
    convert_palette(assets::dot_palette_stored, dot_palette);
    clear_texts();
}

void init_warp()
{
    convert_palette(assets::warp_palette_stored, warp_palette);

    // Columns: each row steps through the texture a little faster than the one above, so
    // the picture fans out towards the bottom. The sums are repeated additions, not
    // products: that is where the map's exact values come from.
    int32_t count = 256;
    for (int32_t y = 0; y < 200; ++y) {
        const float step = static_cast<float>(static_cast<double>(count) / 320.0);
        double sum = 0.0;
        for (int32_t x = 0; x < 320; ++x) {
            warp_map[y * 320 + x] = static_cast<uint16_t>(low_byte_of_rounded(sum) << 8);
            sum += static_cast<double>(step);
        }
        count += 2;
    }

    const float row_step = static_cast<float>(256.0 / 200.0);
    double sum = 0.0;
    for (int32_t y = 0; y < 200; ++y) {
        const uint8_t v = low_byte_of_rounded(sum);
        for (int32_t x = 0; x < 320; ++x)
            warp_map[y * 320 + x] = static_cast<uint16_t>(warp_map[y * 320 + x] | v);
        sum += static_cast<double>(row_step);
    }
}

void wave_lookup(int32_t angle)
{
    const uint32_t index = static_cast<uint32_t>(angle) & (WAVE_STEPS - 1);
    wave_sin = wave_sine[index];
    wave_cos = wave_cosine[index];
}

}  // namespace render
