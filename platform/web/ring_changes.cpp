// ring_changes.cpp -- the ring's changed runs, block by block
#include "platform/web/ring_changes.h"

#include <algorithm>
#include <cstring>

namespace platform::web {

int32_t send_ring_changes(const uint8_t* ring, uint8_t* mirror, uint32_t bytes, uint32_t block,
                          const std::function<void(uint32_t offset, uint32_t length)>& send)
{
    if (ring == nullptr || mirror == nullptr || block == 0) return 0;
    int32_t runs = 0;
    uint32_t at = 0;
    while (at < bytes) {
        const uint32_t length = std::min(block, bytes - at);
        if (std::memcmp(ring + at, mirror + at, length) == 0) {
            at += length;
            continue;
        }
        const uint32_t start = at;
        while (at < bytes) {
            const uint32_t run = std::min(block, bytes - at);
            if (std::memcmp(ring + at, mirror + at, run) == 0) break;
            std::memcpy(mirror + at, ring + at, run);
            at += run;
        }
        send(start, at - start);
        ++runs;
    }
    return runs;
}

}  // namespace platform::web
