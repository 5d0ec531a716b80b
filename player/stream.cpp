// stream.cpp -- the stream callback table and the memory stream

#include "player/stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace player {

namespace {

struct Callbacks {
    StreamOpen open = nullptr;
    StreamClose close = nullptr;
    StreamRead read = nullptr;
    StreamSeek seek = nullptr;
    StreamTell tell = nullptr;
};

Callbacks callbacks;

// The one image every memory-stream token reads from, with its single shared cursor.
struct MemoryImage {
    const uint8_t* base = nullptr;
    int32_t registered_size = 0;
    int32_t size = 0;  // fixed at mem_open
    int32_t position = 0;
};

MemoryImage image;

}  // namespace

void stream_set_callbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                          StreamTell tell)
{
    if (open != nullptr && close != nullptr && read != nullptr && seek != nullptr &&
        tell != nullptr) {
        callbacks = Callbacks{open, close, read, seek, tell};
    } else {
        callbacks = Callbacks{};
    }
}

bool stream_callbacks_installed()
{
    return callbacks.open != nullptr;
}

Stream* stream_open(const char* name, uint8_t mode, uint32_t user)
{
    // Opening without callbacks is a caller's error; refusing it is kinder than a jump to null.
    if (!stream_callbacks_installed()) return nullptr;
    Stream* stream = new (std::nothrow) Stream{};
    if (stream == nullptr) return nullptr;
    stream->mode = mode;
    stream->user = user;
    stream->token = callbacks.open(name);
    if (stream->token == 0) {
        delete stream;
        return nullptr;
    }
    return stream;
}

void stream_close(Stream* stream)
{
    if (stream == nullptr) return;
    if (callbacks.close != nullptr) callbacks.close(stream->token);
    delete stream;
}

int32_t stream_read(void* destination, int32_t length, Stream* stream)
{
    if (stream == nullptr || callbacks.read == nullptr) return 0;
    return callbacks.read(destination, length, stream->token);
}

void stream_seek(Stream* stream, int32_t offset, uint8_t origin)
{
    if (stream == nullptr || callbacks.seek == nullptr) return;
    callbacks.seek(stream->token, offset, origin);
}

int32_t stream_tell(Stream* stream)
{
    if (stream == nullptr || callbacks.tell == nullptr) return 0;
    return callbacks.tell(stream->token);
}

void mem_register(const uint8_t* bytes, uint32_t size)
{
    // Positions are signed 32-bit: an image can be at most 2 GiB - 1 bytes long.
    image.base = bytes;
    image.registered_size = static_cast<int32_t>(std::min<uint32_t>(size, INT32_MAX));
    if (bytes == nullptr) image.registered_size = 0;
}

uint32_t mem_open(const char*)
{
    image.size = image.registered_size;
    image.position = 0;
    return 1;
}

void mem_close(uint32_t) {}

int32_t mem_read(void* destination, int32_t length, uint32_t)
{
    if (length <= 0 || destination == nullptr) return 0;
    const int32_t available = image.size - image.position;
    const int32_t count = std::min(length, available);
    if (count <= 0) return 0;
    std::memcpy(destination, image.base + image.position, static_cast<size_t>(count));
    image.position += count;
    return count;
}

void mem_seek(uint32_t, int32_t offset, uint8_t origin)
{
    int64_t target;
    if (origin == 0) {
        target = offset;
    } else if (origin == 1) {
        target = static_cast<int64_t>(image.position) + offset;
    } else {
        target = static_cast<int64_t>(image.size) - offset;
    }
    // Beyond the end is pulled back to the end; before the start is held at the start, so the
    // stream never reads outside its image.
    image.position = static_cast<int32_t>(std::clamp<int64_t>(target, 0, image.size));
}

int32_t mem_tell(uint32_t)
{
    return image.position;
}

}  // namespace player
