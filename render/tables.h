// tables.h -- lookup tables, palettes and the warp map, filled once at start-up
//
// Start-up order: init_rotation_tables, init_wave_tables, init_reciprocal_table,
// init_palettes, then init_warp. Everything is read-only afterwards except wave_sin/wave_cos.
#pragma once
#include <cstdint>

#include "assets/assets.h"

namespace render {

constexpr int32_t ROTATION_STEPS = 512;  // rotation angle units per turn
constexpr int32_t WAVE_STEPS = 1024;     // wave_lookup angle units per turn
constexpr int32_t RECIPROCAL_COUNT = 2048;
constexpr int32_t WARP_MAP_SIZE = 320 * 200;

extern float rotation_sine[ROTATION_STEPS];
extern float rotation_cosine[ROTATION_STEPS];
extern float wave_sine[WAVE_STEPS];
extern float wave_cosine[WAVE_STEPS];
extern double reciprocals[RECIPROCAL_COUNT];  // entry k = 1 / (k + 1)
extern double slope_scale;                    // 2^32 - 1: a slope to 32.32 fixed point
using assets::sine_bytes;                     // stored: round(127 + 127 sin(2 pi k / 256))

extern uint16_t font_palette[256];  // RGB565
extern uint16_t dot_palette[256];
extern uint16_t warp_palette[256];
extern uint16_t warp_map[WARP_MAP_SIZE];  // per pixel: texture column step u << 8 | row v

extern float wave_sin;  // results of the last wave_lookup
extern float wave_cos;

void init_rotation_tables();
void init_wave_tables();
void init_reciprocal_table();  // also turns the object's face vertex numbers into offsets
void init_palettes();          // also empties the active-text list
void init_warp();

void wave_lookup(int32_t angle);  // angle AND 1023 into wave_sin, wave_cos

// 256 stored (blue, green, red) 6-bit triplets to RGB565, each field losing its lowest bit
// except green.
void convert_palette(const uint8_t* stored, uint16_t* out);

}  // namespace render
