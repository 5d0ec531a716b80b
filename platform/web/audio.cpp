// audio.cpp -- the page's sound device: the ring mirrored into the page's player of it
//
// The worklet plays its own copy of the ring from its start, over and over, exactly as a
// desktop device plays the ring; sound_send_changes keeps that copy equal to the ring, and the
// worklet's reports of how far it played are the device's position.
#include <emscripten/emscripten.h>

#include <vector>

#include "platform/web/page.h"
#include "platform/web/ring_changes.h"
#include "platform/web/web_audio.h"

namespace platform {

namespace {

// About 3 ms of sound: small enough that a write of one chunk sends little beside it.
constexpr uint32_t COMPARE_BLOCK = 512;

struct WebAudio {
    const uint8_t* ring = nullptr;
    uint32_t ring_bytes = 0;
    std::vector<uint8_t> mirror;  // what the device holds
    void (*pump)() = nullptr;
    const char* error = "";
};
WebAudio state;

bool web_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    web_sound_close();
    state.ring = nullptr;
    state.error = "";
    if (rate <= 0 || ring == nullptr || ring_bytes < 4 || ring_bytes % 4 != 0) {
        state.error = "bad ring or rate";
        return false;
    }
    if (web_sound_open(rate, ring_bytes) == 0) {
        state.error = "no Web Audio on this page";
        return false;
    }
    state.ring = ring;
    state.ring_bytes = ring_bytes;
    // The device starts with a silent ring, and so does the mirror.
    state.mirror.assign(ring_bytes, 0);
    return true;
}

uint64_t web_position()
{
    return state.ring != nullptr ? static_cast<uint64_t>(web_sound_position()) : 0;
}

void web_reset()
{
    if (state.ring != nullptr) web_sound_pause(1);
}

void web_close()
{
    web_sound_close();
    state.ring = nullptr;
    state.ring_bytes = 0;
    state.mirror.clear();
}

const char* web_error()
{
    return state.error;
}

constexpr AudioDevice web_device{web_open, web_position, web_reset, web_close, web_error};

}  // namespace

const AudioDevice* web_audio_device()
{
    return &web_device;
}

void web::set_sound_pump(void (*pump)())
{
    state.pump = pump;
}

void web::sound_send_changes()
{
    if (state.ring == nullptr) return;
    audio_ring_acquire();
    send_ring_changes(state.ring, state.mirror.data(), state.ring_bytes, COMPARE_BLOCK,
                      [](uint32_t offset, uint32_t length) {
                          web_sound_write(offset, state.ring + offset, length);
                      });
}

void web::sound_pause(bool paused)
{
    if (state.ring != nullptr) web_sound_pause(paused ? 1 : 0);
}

}  // namespace platform

// The page's device played on (platform/web/sound.js).
extern "C" EMSCRIPTEN_KEEPALIVE void web_sound_played()
{
    if (platform::state.pump != nullptr) platform::state.pump();
}
