// passes.cpp -- mask fade, texture pass and cross-fade over the RGB565 frame

#include "shell/passes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "assets/assets.h"
#include "platform/video.h"
#include "render/tables.h"
#include "render/warp.h"

namespace shell {

uint8_t mask_level = 255;
uint8_t blend_step = 0;
uint16_t blend_image[FRAME_PIXELS];

uint16_t* frame_pixels()
{
    if (platform::frame_buffer == nullptr || platform::frame_size < FRAME_PIXELS * 2)
        return nullptr;
    return reinterpret_cast<uint16_t*>(platform::frame_buffer);
}

namespace {

int32_t red(uint16_t pixel)
{
    return pixel >> 11;
}
int32_t green(uint16_t pixel)
{
    return (pixel >> 5) & 63;
}
int32_t blue(uint16_t pixel)
{
    return pixel & 31;
}

uint16_t rgb(int32_t r, int32_t g, int32_t b)
{
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

int32_t floor0(int32_t value)
{
    return std::max(value, 0);
}

}  // namespace

void mask_fade(FadeDirection direction)
{
    // The level stops one short of its end in both directions: 81 going down (the wipe never
    // reaches the last mask value) and 254 going up (one step short of untouched).
    if (direction == FadeDirection::DARKENING) {
        const auto next = static_cast<uint8_t>(mask_level - 1);
        if (next != 80) mask_level = next;
    } else {
        const auto next = static_cast<uint8_t>(mask_level + 1);
        if (next != 255) mask_level = next;
    }
    uint16_t* pixels = frame_pixels();
    if (pixels == nullptr) return;
    // Written without branches in 16-bit lanes, so the compiler can do many pixels at once.
    const uint16_t level = mask_level;
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
        // (256 - m) taken as a byte: mask byte 0 gives 0 and is never darkened.
        const auto reach = static_cast<uint16_t>((256 - assets::fade_mask[i]) & 255);
        const auto d = static_cast<uint16_t>(reach > level ? reach - level : 0);
        const uint16_t p = pixels[i];
        const auto r = static_cast<uint16_t>(p >> 11), g = static_cast<uint16_t>((p >> 5) & 63),
                   b = static_cast<uint16_t>(p & 31);
        const auto cut_rb = static_cast<uint16_t>(d >> 3), cut_g = static_cast<uint16_t>(d >> 2);
        const auto r2 = static_cast<uint16_t>(r > cut_rb ? r - cut_rb : 0);
        const auto g2 = static_cast<uint16_t>(g > cut_g ? g - cut_g : 0);
        const auto b2 = static_cast<uint16_t>(b > cut_rb ? b - cut_rb : 0);
        pixels[i] = static_cast<uint16_t>(r2 << 11 | g2 << 5 | b2);
    }
}

void texture_pass(TextureMode mode)
{
    const uint16_t phase = render::warp_phase;
    const uint16_t* colours = render::warp_colours();
    if (mode == TextureMode::PLAIN) {
        for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
            const auto index = static_cast<uint16_t>(assets::swirl_map[i] + phase);
            blend_image[i] = colours[index];
        }
        return;
    }
    // Byte sums wrap at 256 throughout: the sine table is indexed by a byte. What depends only
    // on u is made once per frame, 256 entries instead of 64000: s1 + pl in the low byte and
    // s4 >> 2 in the high byte, so one look-up brings both.
    const uint8_t* sine = assets::sine_bytes;
    const auto pl = static_cast<uint8_t>(phase & 255);
    const auto ph = static_cast<uint8_t>(phase >> 8);
    const uint8_t s3 = sine[ph];
    uint16_t by_u[256];
    for (int32_t u = 0; u < 256; ++u) {
        const auto s1_pl = static_cast<uint8_t>(sine[static_cast<uint8_t>(u + pl)] + pl);
        const auto low = static_cast<uint8_t>(sine[static_cast<uint8_t>(s3 + u + pl)] >> 2);
        by_u[u] = static_cast<uint16_t>(low << 8 | s1_pl);
    }
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
        const uint16_t w = assets::swirl_map[i];
        const uint32_t u = w & 255;
        const uint32_t v = w >> 8;
        const uint32_t both = by_u[u];
        const uint32_t s2 = sine[(both + 2 * v) & 255];
        const uint32_t high = ((s2 >> 3) + 2 * u + v) & 255;
        const uint32_t low = ((both >> 8) + v) & 255;
        blend_image[i] = colours[high << 8 | low];
    }
}

void cross_fade(BlendWeights weights, uint8_t limit)
{
    // The pass uses n even when the stored step stays one below the limit.
    const auto n = static_cast<uint8_t>(blend_step + 1);
    if (n != limit) blend_step = n;
    const int32_t a = weights == BlendWeights::HALF ? n >> 1 : n;
    const int32_t b = weights == BlendWeights::HALF ? (32 - n) >> 1 : 32 - n;
    uint16_t* pixels = frame_pixels();
    if (pixels == nullptr) return;
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
        const uint16_t p = pixels[i];
        const uint16_t q = blend_image[i];
        const int32_t r = std::min(31, floor0(red(p) - a) + floor0(red(q) - b));
        const int32_t g = std::min(63, floor0(green(p) - 2 * a) + floor0(green(q) - 2 * b));
        const int32_t bl = std::min(31, floor0(blue(p) - a) + floor0(blue(q) - b));
        pixels[i] = rgb(r, g, bl);
    }
}

void reset_passes()
{
    mask_level = 255;
    blend_step = 0;
    std::fill(std::begin(blend_image), std::end(blend_image), uint16_t{0});
}

}  // namespace shell
