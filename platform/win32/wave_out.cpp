// wave_out.cpp -- Windows wave-out device: one looping header over the whole ring, the play
// position read back in bytes

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <mutex>

#include "platform/backend.h"
#include "platform/win32/wave_out.h"

namespace platform {

namespace {

constexpr DWORD ENDLESS_LOOPS = 0xFFFFFFFF;

struct WaveOut {
    HWAVEOUT device = nullptr;
    WAVEHDR header{};
    bool prepared = false;
    bool fine_timer = false;
    // waveOutGetPosition answers in 32 bits, which wrap after about 6.7 hours at 44100 Hz:
    // each answer is widened against the last one.
    std::mutex position_mutex;
    uint64_t position = 0;
    bool stopped = false;
    int32_t rate = 0;
    char error[256] = "";
};

WaveOut state;

void set_error(const char* what, MMRESULT result)
{
    char reason[MAXERRORLENGTH] = "";
    if (waveOutGetErrorTextA(result, reason, sizeof reason) != MMSYSERR_NOERROR) {
        std::snprintf(reason, sizeof reason, "error %u", static_cast<unsigned>(result));
    }
    std::snprintf(state.error, sizeof state.error, "%s: %s", what, reason);
}

// Bytes played since the device was opened, as the device counts them (32 bits).
bool device_bytes(int32_t bytes_per_second, uint32_t& bytes)
{
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(state.device, &time, sizeof time) != MMSYSERR_NOERROR) return false;
    // A driver may answer in another format than the one asked for.
    switch (time.wType) {
    case TIME_BYTES:
        bytes = time.u.cb;
        return true;
    case TIME_SAMPLES:
        bytes = time.u.sample * 4;
        return true;
    case TIME_MS:
        bytes = static_cast<uint32_t>(static_cast<uint64_t>(time.u.ms) *
                                          static_cast<uint64_t>(bytes_per_second) / 1000 &
                                      ~uint64_t{3});
        return true;
    default:
        return false;
    }
}

void wave_out_close();

bool wave_out_open(int32_t rate, const uint8_t* ring, uint32_t ring_bytes)
{
    wave_out_close();
    state.error[0] = '\0';
    if (rate <= 0 || ring == nullptr || ring_bytes < 4 || ring_bytes % 4 != 0) {
        std::snprintf(state.error, sizeof state.error, "bad ring or rate");
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    const MMRESULT opened = waveOutOpen(&state.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (opened != MMSYSERR_NOERROR) {
        state.device = nullptr;
        set_error("cannot open the sound device", opened);
        return false;
    }
    state.rate = rate;
    {
        std::lock_guard<std::mutex> lock(state.position_mutex);
        state.position = 0;
        state.stopped = false;
    }
    // The mixing thread polls every 2 ms; the default timer would let it sleep 15.6.
    state.fine_timer = timeBeginPeriod(1) == TIMERR_NOERROR;

    // The device only reads the ring; the header's field is not const.
    state.header = {};
    state.header.lpData = const_cast<LPSTR>(reinterpret_cast<const char*>(ring));
    state.header.dwBufferLength = ring_bytes;
    state.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    state.header.dwLoops = ENDLESS_LOOPS;
    state.prepared =
        waveOutPrepareHeader(state.device, &state.header, sizeof state.header) == MMSYSERR_NOERROR;
    const MMRESULT written = state.prepared
                                 ? waveOutWrite(state.device, &state.header, sizeof state.header)
                                 : MMSYSERR_ERROR;
    if (written != MMSYSERR_NOERROR) {
        set_error("cannot play on the sound device", written);
        wave_out_close();
        return false;
    }
    return true;
}

uint64_t wave_out_position()
{
    std::lock_guard<std::mutex> lock(state.position_mutex);
    if (state.device == nullptr || state.stopped) return state.position;
    uint32_t bytes = 0;
    if (!device_bytes(state.rate * 4, bytes)) return state.position;
    state.position = backend::widen_position(state.position, bytes);
    return state.position;
}

void wave_out_reset()
{
    if (state.device == nullptr) return;
    (void)wave_out_position();
    std::lock_guard<std::mutex> lock(state.position_mutex);
    // waveOutReset sets the device's count back to 0; the position stays where playing stopped.
    state.stopped = true;
    waveOutReset(state.device);
}

void wave_out_close()
{
    if (state.device != nullptr) {
        wave_out_reset();
        if (state.prepared)
            waveOutUnprepareHeader(state.device, &state.header, sizeof state.header);
        waveOutClose(state.device);
        state.device = nullptr;
    }
    state.prepared = false;
    state.header = {};
    if (state.fine_timer) timeEndPeriod(1);
    state.fine_timer = false;
}

const char* wave_out_error()
{
    return state.error;
}

constexpr AudioDevice wave_out_device{wave_out_open, wave_out_position, wave_out_reset,
                                      wave_out_close, wave_out_error};

}  // namespace

const AudioDevice* wave_out_audio_device()
{
    return &wave_out_device;
}

}  // namespace platform
