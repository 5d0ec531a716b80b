// warp.h -- the full-screen passes: a waving picture and the grey grain blur
#pragma once
#include <cstdint>

namespace render {

extern uint16_t warp_phase;   // high byte shifts rows and columns, low byte slides the wave
extern uint16_t grain_phase;  // where in the grain block the next grain comes from

void draw_warp();  // overwrites the whole frame, then warp_phase -= 0x0505
// The warp texture's 65536 texels as colours through warp_palette, remade whenever the palette
// changed since; owned here.
const uint16_t* warp_colours();
void grain_blur();  // grain on every byte, then a 1-2-1 grey blur smearing to the right

}  // namespace render
