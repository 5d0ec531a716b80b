// audio.cpp -- sdl backend: SDL2's audio callback plays the ring at the cursor

#include <SDL.h>

#include <atomic>
#include <cstring>

#include "platform/audio.h"

namespace platform {

namespace {

struct SdlAudio {
    SDL_AudioDeviceID device = 0;
    const uint8_t* ring = nullptr;
    uint32_t ring_bytes = 0;
    // Written by SDL's audio thread, read by the mixing thread.
    std::atomic<uint64_t> position{0};
    char error[256] = "";
};

SdlAudio state;

void set_error(const char* what)
{
    SDL_snprintf(state.error, sizeof state.error, "%s: %s", what, SDL_GetError());
}

// Runs on SDL's audio thread. The ring is copied byte for byte from the cursor on; the cursor
// only ever moves forward, by exactly what was handed to SDL.
void SDLCALL fill_from_ring(void*, Uint8* stream, int length)
{
    audio_ring_acquire();
    uint64_t at = state.position.load(std::memory_order_relaxed);
    uint32_t left = static_cast<uint32_t>(length);
    while (left > 0) {
        const uint32_t offset = static_cast<uint32_t>(at % state.ring_bytes);
        const uint32_t run = left < state.ring_bytes - offset ? left : state.ring_bytes - offset;
        std::memcpy(stream, state.ring + offset, run);
        stream += run;
        at += run;
        left -= run;
    }
    state.position.store(at, std::memory_order_release);
}

void sdl_close()
{
    if (state.device != 0) {
        SDL_CloseAudioDevice(state.device);
        state.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    state.ring = nullptr;
    state.ring_bytes = 0;
}

bool sdl_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    sdl_close();
    state.error[0] = '\0';
    if (rate <= 0 || ring == nullptr || ring_bytes < 4 || ring_bytes % 4 != 0) {
        SDL_strlcpy(state.error, "bad ring or rate", sizeof state.error);
        return false;
    }
    // Only the audio subsystem: the video backend initialises its own.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        set_error("cannot start SDL audio");
        return false;
    }
    state.ring = ring;
    state.ring_bytes = ring_bytes;
    state.position.store(0, std::memory_order_release);

    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    // About 12 ms at 44100 Hz: well under one 20 ms chunk, so the cursor moves in small steps.
    wanted.samples = 512;
    wanted.callback = fill_from_ring;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware wants.
    state.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (state.device == 0) {
        set_error("cannot open the sound device");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.ring = nullptr;
        state.ring_bytes = 0;
        return false;
    }
    SDL_PauseAudioDevice(state.device, 0);
    return true;
}

uint64_t sdl_position()
{
    return state.position.load(std::memory_order_acquire);
}

void sdl_reset()
{
    if (state.device != 0) SDL_PauseAudioDevice(state.device, 1);
}

const char* sdl_error()
{
    return state.error;
}

constexpr AudioDevice sdl_device{sdl_open, sdl_position, sdl_reset, sdl_close, sdl_error};

}  // namespace

const AudioDevice* sdl_audio_device()
{
    return &sdl_device;
}

}  // namespace platform
