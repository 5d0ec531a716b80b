// passes.h -- the shell's own full-screen passes: a mask fade, a texture image, a cross-fade
//
// Each walks the 320 x 200 RGB565 frame once and works on the red, green and blue fields
// apart, flooring at 0 and capping at each field's top. Within a frame the timeline runs them
// in the order mask_fade, texture_pass, cross_fade, after the object and before presenting.
#pragma once
#include <cstdint>

namespace shell {

constexpr int32_t FRAME_PIXELS = 320 * 200;

enum class FadeDirection { DARKENING, BRIGHTENING };
enum class TextureMode { PLAIN, SWIRLED };
enum class BlendWeights { HALF, FULL };

extern uint8_t mask_level;                  // 255 at start; 81..254 once a fade has run
extern uint8_t blend_step;                  // 0 at start; stops one below the limit
extern uint16_t blend_image[FRAME_PIXELS];  // written by texture_pass, read by cross_fade

// The frame as FRAME_PIXELS pixels in memory order; null before the frame buffer exists.
uint16_t* frame_pixels();

// Darkens the frame through the fade mask by how far mask_level has moved.
void mask_fade(FadeDirection direction);
// Fills blend_image from the warp texture through the swirl map at the current warp_phase.
void texture_pass(TextureMode mode);
// Mixes blend_image into the frame with a weight that grows one step per call up to `limit`.
void cross_fade(BlendWeights weights, uint8_t limit);

// mask_level 255, blend_step 0, blend_image black: the state before the show.
void reset_passes();

}  // namespace shell
