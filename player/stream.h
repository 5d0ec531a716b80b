// stream.h -- the pluggable stream the loader reads modules through, and the memory stream
//
// The callback table is installed whole or not at all; stream_open without it yields null.
// The memory stream serves one registered byte image (the caller keeps the bytes alive);
// every token shares its cursor, and seeks stay within 0..size.
#pragma once
#include <cstdint>

#include "player/player.h"

namespace player {

struct Stream {
    uint8_t mode;
    uint32_t token;
    uint32_t user;
};

bool stream_callbacks_installed();

Stream* stream_open(const char* name, uint8_t mode,
                    uint32_t user);  // null on failure; caller owns it
void stream_close(Stream* stream);
int32_t stream_read(void* destination, int32_t length, Stream* stream);
void stream_seek(Stream* stream, int32_t offset, uint8_t origin);
int32_t stream_tell(Stream* stream);

}  // namespace player
