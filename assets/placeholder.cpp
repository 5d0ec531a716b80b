// placeholder.cpp -- empty content so everything links until the generated assets exist

#include "assets/assets.h"

namespace assets {

const uint8_t module_xm[MODULE_SIZE] = {};
const uint8_t intro_picture[PICTURE_SIZE] = {};
const uint8_t strobe_picture_1[PICTURE_SIZE] = {};
const uint8_t strobe_picture_2[PICTURE_SIZE] = {};
const uint8_t final_picture[PICTURE_SIZE] = {};
const uint8_t fade_mask[PICTURE_SIZE] = {};
const uint8_t dot_picture[PICTURE_SIZE] = {};
const uint8_t dot_palette_stored[PALETTE_SIZE] = {};
const uint8_t font_sheet[FONT_WIDTH * FONT_HEIGHT] = {};
const uint8_t font_palette_stored[PALETTE_SIZE] = {};
const uint8_t warp_texture[WARP_TEXTURE_SIZE] = {};
const uint8_t warp_palette_stored[PALETTE_SIZE] = {};
const uint16_t swirl_map[PICTURE_SIZE] = {};
const uint8_t sine_bytes[256] = {};
const uint8_t grain_block[GRAIN_BLOCK_SIZE] = {};
const float mesh_vertices[MESH_VERTEX_COUNT][3] = {};
const int32_t mesh_faces[MESH_FACE_COUNT][3] = {};
const uint8_t text_event_count = TEXT_EVENT_COUNT;
const TextEvent text_events[TEXT_EVENT_COUNT] = {};

}  // namespace assets
