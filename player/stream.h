// stream.h -- the pluggable stream the loader reads modules through, and the memory stream
//
// The callback table is installed whole or not at all; stream_open without it yields null.
// The memory stream serves one registered byte image (the caller keeps the bytes alive);
// every token shares its cursor, and seeks stay within 0..size.
#pragma once
#include <cstdint>

namespace player {

using StreamOpen = uint32_t (*)(const char* name);                              // token, 0 = failure
using StreamClose = void (*)(uint32_t token);
using StreamRead = int32_t (*)(void* destination, int32_t length, uint32_t token);  // bytes delivered
using StreamSeek = void (*)(uint32_t token, int32_t offset, uint8_t origin);     // 0 start, 1 current, 2 end
using StreamTell = int32_t (*)(uint32_t token);

struct Stream {
    uint8_t mode;
    uint32_t token;
    uint32_t user;
};

void stream_set_callbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                          StreamTell tell);
bool stream_callbacks_installed();

Stream* stream_open(const char* name, uint8_t mode, uint32_t user);  // null on failure; caller owns it
void stream_close(Stream* stream);
int32_t stream_read(void* destination, int32_t length, Stream* stream);
void stream_seek(Stream* stream, int32_t offset, uint8_t origin);
int32_t stream_tell(Stream* stream);

// The byte image that mem_open serves from now on (bytes stay the caller's).
void mem_register(const uint8_t* bytes, uint32_t size);

uint32_t mem_open(const char* name);
void mem_close(uint32_t token);
int32_t mem_read(void* destination, int32_t length, uint32_t token);
void mem_seek(uint32_t token, int32_t offset, uint8_t origin);
int32_t mem_tell(uint32_t token);

}  // namespace player
