// music_source.h -- how the renderer learns where the music is, without knowing the player
//
// The object's pulse and the timed texts follow the music position ((order << 8) | row).
// Whoever owns the song hands the renderer a function that reads it.
#pragma once
#include <cstdint>

namespace render {

void set_music_position_source(uint16_t (*source)());  // null reads 0
uint16_t current_music_position();

}  // namespace render
