// audio.cpp -- SDL2 audio device: SDL's audio callback plays the ring at the cursor
//
// SDL is loaded with dlopen on the first open and its few audio functions looked up by name;
// the program itself is not linked against it. A program that links SDL anyway (the demo's
// video) gets the same library back from dlopen, so both share one SDL.

#include <SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/sdl/sdl_audio.h"

namespace platform {

namespace {

constexpr const char* SDL_LIBRARY = "libSDL2-2.0.so.0";

struct SdlFunctions {
    decltype(&SDL_InitSubSystem) init_subsystem = nullptr;
    decltype(&SDL_QuitSubSystem) quit_subsystem = nullptr;
    decltype(&SDL_OpenAudioDevice) open_audio_device = nullptr;
    decltype(&SDL_CloseAudioDevice) close_audio_device = nullptr;
    decltype(&SDL_PauseAudioDevice) pause_audio_device = nullptr;
    decltype(&SDL_GetError) get_error = nullptr;
};

struct SdlAudio {
    SdlFunctions sdl;
    bool loaded = false;
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
    std::snprintf(state.error, sizeof state.error, "%s: %s", what, state.sdl.get_error());
}

template <typename Function>
bool look_up(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The library stays loaded for the rest of the process: SDL keeps threads and handlers of its
// own that must not lose their code under them.
bool load_sdl()
{
    if (state.loaded) return true;
    void* library = dlopen(SDL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        std::snprintf(state.error, sizeof state.error, "cannot load %s: %s", SDL_LIBRARY,
                      reason != nullptr ? reason : "not found");
        return false;
    }
    SdlFunctions& f = state.sdl;
    const bool found = look_up(library, "SDL_InitSubSystem", f.init_subsystem) &&
                       look_up(library, "SDL_QuitSubSystem", f.quit_subsystem) &&
                       look_up(library, "SDL_OpenAudioDevice", f.open_audio_device) &&
                       look_up(library, "SDL_CloseAudioDevice", f.close_audio_device) &&
                       look_up(library, "SDL_PauseAudioDevice", f.pause_audio_device) &&
                       look_up(library, "SDL_GetError", f.get_error);
    if (!found) {
        std::snprintf(state.error, sizeof state.error, "%s lacks the SDL2 audio functions",
                      SDL_LIBRARY);
        f = {};
        dlclose(library);
        return false;
    }
    state.loaded = true;
    return true;
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
        state.sdl.close_audio_device(state.device);
        state.device = 0;
        state.sdl.quit_subsystem(SDL_INIT_AUDIO);
    }
    state.ring = nullptr;
    state.ring_bytes = 0;
}

bool sdl_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    sdl_close();
    state.error[0] = '\0';
    if (rate <= 0 || ring == nullptr || ring_bytes < 4 || ring_bytes % 4 != 0) {
        std::snprintf(state.error, sizeof state.error, "bad ring or rate");
        return false;
    }
    if (!load_sdl()) return false;
    // Only the audio subsystem: the video backend initialises its own.
    if (state.sdl.init_subsystem(SDL_INIT_AUDIO) != 0) {
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
    state.device = state.sdl.open_audio_device(nullptr, 0, &wanted, &obtained, 0);
    if (state.device == 0) {
        set_error("cannot open the sound device");
        state.sdl.quit_subsystem(SDL_INIT_AUDIO);
        state.ring = nullptr;
        state.ring_bytes = 0;
        return false;
    }
    state.sdl.pause_audio_device(state.device, 0);
    return true;
}

uint64_t sdl_position()
{
    return state.position.load(std::memory_order_acquire);
}

void sdl_reset()
{
    if (state.device != 0) state.sdl.pause_audio_device(state.device, 1);
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
