// warp.cpp -- the waving picture and the grey grain blur, two full-screen sweeps

#include "render/warp.h"

#include <cstring>

#include "assets/assets.h"
#include "platform/video.h"
#include "render/tables.h"

namespace render {

uint16_t warp_phase;
uint16_t grain_phase;

namespace {

constexpr int32_t PIXELS = 320 * 200;
constexpr int32_t FRAME_BYTES = PIXELS * 2;
// The grain starts at the first byte of the music module inside the grain block.
constexpr uint32_t GRAIN_START = 65052;
constexpr int32_t BLUR_FIRST = 321;   // row 1, column 1
constexpr int32_t BLUR_LAST = 63680;  // row 199, column 0

// The warp texture turned into colours: one look-up a pixel instead of two. Made again
// whenever the warp palette is not the one it was made with.
struct TextureColours {
    uint16_t palette[256] = {};
    bool made = false;
    uint16_t colours[65536] = {};
};
TextureColours texture_colours;

bool frame_ready()
{
    return platform::frame_buffer != nullptr &&
           platform::frame_size >= static_cast<uint32_t>(FRAME_BYTES);
}

}  // namespace

const uint16_t* warp_colours()
{
    TextureColours& t = texture_colours;
    if (!t.made || std::memcmp(t.palette, warp_palette, sizeof t.palette) != 0) {
        std::memcpy(t.palette, warp_palette, sizeof t.palette);
        for (int32_t i = 0; i < 65536; ++i) t.colours[i] = t.palette[assets::warp_texture[i]];
        t.made = true;
    }
    return t.colours;
}

void draw_warp()
{
    if (frame_ready()) {
        const uint32_t p_hi = warp_phase >> 8;
        const uint32_t p_lo = warp_phase & 255;
        // Both coordinates depend on one map byte each, so the per-frame work folds into two
        // 256-entry tables. The column is negated: the picture drifts mirrored.
        uint8_t column_of[256];
        uint8_t row_of[256];
        for (uint32_t k = 0; k < 256; ++k) {
            column_of[k] = static_cast<uint8_t>(0u - (k + p_hi));
            row_of[k] = static_cast<uint8_t>(sine_bytes[(k + p_lo) & 255] - p_hi);
        }
        const uint16_t* colours = warp_colours();
        uint8_t* frame = platform::frame_buffer;
        for (int32_t i = 0; i < PIXELS; ++i) {
            const uint32_t m = warp_map[i];
            const uint32_t texel =
                (static_cast<uint32_t>(row_of[m & 255]) << 8) | column_of[m >> 8];
            const uint16_t colour = colours[texel];
            std::memcpy(frame + 2 * i, &colour, 2);
        }
    }
    warp_phase = static_cast<uint16_t>(warp_phase - 0x0505);
}

void grain_blur()
{
    if (frame_ready()) {
        // Grain: 0..7 on every byte with no carry into the other byte of the pixel, so the
        // low byte's grain reaches blue and low green and the high byte's high green and red.
        const uint8_t* grain = assets::grain_block + ((GRAIN_START + grain_phase) & 0xFFFF);
        uint8_t* bytes = platform::frame_buffer;
        for (int32_t k = 0; k < FRAME_BYTES; ++k)
            bytes[k] = static_cast<uint8_t>(bytes[k] + (grain[k] >> 5));
    }
    grain_phase = static_cast<uint16_t>(grain_phase + 768);
    if (!frame_ready()) return;

    // Blur: in place, left to right, on the blue field only. The left neighbour is already
    // the new grey and the right one still the old pixel, so brightness smears to the right.
    // The run crosses row ends without a break; row 0 and the end of row 199 keep their
    // colours (see WarpTest.GrainBlurLeavesRowZeroUnblurred).
    uint16_t* p = reinterpret_cast<uint16_t*>(platform::frame_buffer);
    uint32_t left = p[BLUR_FIRST - 1] & 31;
    for (int32_t i = BLUR_FIRST; i <= BLUR_LAST; ++i) {
        // Only the new left value depends on the previous step; keep the rest off that chain.
        const uint32_t centre_and_right = 2 * (p[i] & 31u) + (p[i + 1] & 31u);
        const uint32_t b = (left + centre_and_right) >> 2;
        p[i] = static_cast<uint16_t>((b << 11) | ((2 * b) << 5) | b);
        left = b;
    }
}

}  // namespace render
