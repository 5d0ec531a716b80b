// music_source.cpp -- the music position as the renderer reads it

#include "render/music_source.h"

namespace render {

namespace {
uint16_t (*music_position_source)() = nullptr;
}

void set_music_position_source(uint16_t (*source)())
{
    music_position_source = source;
}

uint16_t current_music_position()
{
    return music_position_source ? music_position_source() : 0;
}

}  // namespace render
