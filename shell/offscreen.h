// offscreen.h -- the renderer set up without a display, for tools and benchmarks that draw
// single effects (the show itself sets up in its own start-up order)
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/video.h"
#include "render/tables.h"

namespace shell {

inline void init_renderer()
{
    render::init_rotation_tables();
    render::init_wave_tables();
    render::init_reciprocal_table();
    render::init_palettes();
    render::init_warp();
}

// The 320 x 200 x 16 frame buffer for as long as the object lives.
class OffscreenFrame {
public:
    OffscreenFrame() { platform::frame_alloc(320, 200, 16); }
    ~OffscreenFrame() { platform::frame_free(); }
    OffscreenFrame(const OffscreenFrame&) = delete;
    OffscreenFrame& operator=(const OffscreenFrame&) = delete;
    void fill(uint16_t value)
    {
        for (uint32_t i = 0; i < platform::frame_size; i += 2)
            std::memcpy(platform::frame_buffer + i, &value, 2);
    }
};

}  // namespace shell
