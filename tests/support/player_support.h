// player_support.h -- loading test modules from bytes through the memory stream
#pragma once
#include <cstdint>
#include <vector>

#include "player/stream.h"
#include "player/xm.h"

namespace test_support {

// Parses `bytes` with the real loader through the memory stream; null when it refuses them.
// The song plays by `rules`: the show's unless a test asks for FT2's, since most tests pin the
// show's engine.
inline player::Song* load_module(const std::vector<uint8_t>& bytes,
                                 player::Rules rules = player::Rules::SHOW)
{
    player::mem_register(bytes.data(), static_cast<uint32_t>(bytes.size()));
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::Song* song = player::song_load("test.xm", nullptr);
    player::song_set_rules(song, rules);
    return song;
}

}  // namespace test_support
