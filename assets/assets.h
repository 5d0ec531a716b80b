// assets.h -- the show's content, generated from code at build time and linked in as data
//
// Pictures are 320 x 200 bytes, one byte per pixel, rows top to bottom. Stored palettes are
// 256 (blue, green, red) triplets of 6-bit values.
#pragma once
#include <cstdint>

namespace assets {

constexpr uint32_t MODULE_SIZE = 431134;
constexpr uint32_t PICTURE_SIZE = 320 * 200;
constexpr uint32_t PALETTE_SIZE = 768;
constexpr uint32_t FONT_WIDTH = 1500;
constexpr uint32_t FONT_HEIGHT = 28;
constexpr uint32_t WARP_TEXTURE_SIZE = 65536;
constexpr uint32_t GRAIN_BLOCK_SIZE = 65536 + 128000;
constexpr int32_t MESH_VERTEX_COUNT = 42;
constexpr int32_t MESH_FACE_COUNT = 80;
constexpr int32_t TEXT_EVENT_COUNT = 40;

// The font sheet holds a glyph for each character FIRST_GLYPH..LAST_GLYPH, GLYPH_WIDTH x
// GLYPH_HEIGHT with its top-left at row 1, column 1 + GLYPH_PITCH * (ch - 32).
constexpr int32_t GLYPH_WIDTH = 23;
constexpr int32_t GLYPH_HEIGHT = 27;
constexpr int32_t GLYPH_PITCH = 24;
constexpr uint8_t FIRST_GLYPH = 33;  // '!'
constexpr uint8_t LAST_GLYPH = 92;   // the backslash
static_assert(1 + GLYPH_PITCH * (LAST_GLYPH - 32) + GLYPH_WIDTH <= int32_t{FONT_WIDTH});
static_assert(1 + GLYPH_HEIGHT <= int32_t{FONT_HEIGHT});

// Pixels the pen moves on after a character, space and characters without a glyph included.
// The glyphs are drawn to fit inside their advance.
constexpr int32_t glyph_advance(char ch)
{
    switch (ch) {
    case 'W':
    case 'M':
        return 24;
    case 'I':
        return 8;
    case 'L':
        return 11;
    default:
        return 16;
    }
}

extern const uint8_t module_xm[MODULE_SIZE];  // the song, served as "quorbela.xm"

extern const uint8_t intro_picture[PICTURE_SIZE];     // intensities, shown >> 4
extern const uint8_t strobe_picture_1[PICTURE_SIZE];  // intensities, shown >> 3
extern const uint8_t strobe_picture_2[PICTURE_SIZE];
extern const uint8_t final_picture[PICTURE_SIZE];  // overlay: 0 transparent, else RGB565 low byte
extern const uint8_t fade_mask[PICTURE_SIZE];      // 1..255 shape the wipe, 0 never darkens
extern const uint8_t dot_picture[PICTURE_SIZE];    // glow in the top-left 64 x 42
extern const uint8_t dot_palette_stored[PALETTE_SIZE];

extern const uint8_t font_sheet[FONT_WIDTH * FONT_HEIGHT];  // the layout above
extern const uint8_t font_palette_stored[PALETTE_SIZE];

extern const uint8_t
    warp_texture[WARP_TEXTURE_SIZE];  // 256 x 256, row in the high byte of the index
extern const uint8_t warp_palette_stored[PALETTE_SIZE];
extern const uint16_t swirl_map[PICTURE_SIZE];  // high byte angle (256 a turn), low byte distance
extern const uint8_t sine_bytes[256];           // round(127 + 127 sin(2 pi k / 256))
extern const uint8_t grain_block[GRAIN_BLOCK_SIZE];

extern const float mesh_vertices[MESH_VERTEX_COUNT][3];  // x, y, z
extern const int32_t mesh_faces[MESH_FACE_COUNT][3];     // vertex numbers

struct TextEvent {
    uint32_t start;  // music position at which the text appears
    uint32_t end;    // it goes once the position is past this
    const char* text;
    int32_t x;
    int32_t y;
};
extern const uint8_t text_event_count;  // 40
extern const TextEvent text_events[TEXT_EVENT_COUNT];

}  // namespace assets
