// ring_changes.h -- finding what the player wrote into the sound ring since the last look
//
// The page's sound device plays a copy of the ring on the audio thread, which cannot read the
// program's memory: each change has to be sent. The player writes a chunk at a time wherever
// the fill rule says; comparing the ring with a mirror of what was sent finds those writes
// without the player having to say where they were.
#pragma once
#include <cstdint>
#include <functional>

namespace platform::web {

// Compares `ring` with `mirror` (both `bytes` long) in blocks of `block` bytes, copies every
// block that differs into the mirror and calls `send` once for each run of neighbouring
// changed blocks, with its byte offset and length (the last block may be shorter). Returns the
// number of runs.
int32_t send_ring_changes(const uint8_t* ring, uint8_t* mirror, uint32_t bytes, uint32_t block,
                          const std::function<void(uint32_t offset, uint32_t length)>& send);

}  // namespace platform::web
