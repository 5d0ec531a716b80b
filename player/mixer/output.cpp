// output.cpp -- the sound device, the mixing thread and its ring of chunks

#include "player/mixer/output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "platform/audio.h"
#include "platform/thread.h"
#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/stream.h"

namespace player {

namespace {

// Rates outside this range give chunks too small to work with or sizes that overflow.
constexpr int32_t MIN_RATE = 1000;
constexpr int32_t MAX_RATE = 1000000;

struct OutputState {
    std::recursive_mutex render_mutex;  // held for each chunk; MixerExclusion takes it too
    std::atomic<bool> busy{false};      // set while a chunk renders
    std::atomic<bool> stop{false};      // tells the mixing thread to end
    std::atomic<bool> exited{true};     // set by the mixing thread as it ends
    std::thread thread;

    int32_t buffer_time = 200;  // milliseconds
    bool open = false;
    int32_t chunk = 0;         // frames per chunk
    int32_t ring = 0;          // frames in the ring
    int32_t chunk_count = 0;   // ring / chunk
    int32_t write_chunk = 0;   // the next chunk to fill
    bool timing_only = false;  // ticks without mixing

    std::unique_ptr<float[]> mix_storage;
    float* mix = nullptr;  // ring * 2 floats, 16-byte aligned; chunk k mixes at its ring place
    const float* last_mix = nullptr;  // where the chunk filled last was mixed
    std::unique_ptr<int16_t[]> pcm;   // ring * 2 samples: what the device plays

    std::atomic<uint64_t> chunks_filled{0};
    uint64_t frames_mixed = 0;       // frames of all chunks filled before the current one
    uint64_t chunk_heard_frame = 0;  // device frame where the current chunk will be heard
    int32_t chunk_done = 0;          // frames of the current chunk mixed so far
    // Device frame where the next fill must be heard for nothing stale to play. The device
    // plays the zero-filled ring through once before the first chunk filled is heard.
    uint64_t next_heard_frame = 0;
    std::atomic<uint64_t> underruns{0};  // chunks the device played without a refill

    ~OutputState()
    {
        // A program that ends without sound_close must not die in std::thread's destructor.
        stop.store(true);
        if (thread.joinable()) thread.join();
    }
};

OutputState state;

// Set on the thread that is filling a chunk, for as long as it does: a tick handler that
// stops a song runs under the chunk's own lock, and its exclusion nests in it.
thread_local bool filling_here = false;

// Ticks `song` through the chunk and mixes the voices between its ticks. A song its own
// tick handler stops is mixed no further.
void fill_song(Song* song, float* mix, int32_t chunk)
{
    int32_t left = song->tick_samples_left;
    int32_t done = 0;
    while (done < chunk) {
        if (left <= 0) {
            state.chunk_done = done;
            if (song->tick_handler != nullptr) song->tick_handler(song);
            if (!song->playing) break;
            // Read after the handler: a tempo change in this tick applies to this tick.
            left = std::max(song->samples_per_tick, 1);
        }
        const int32_t frames = std::min(left, chunk - done);
        // The replay never reads what the voices play, so skipping them changes no tick.
        if (!state.timing_only)
            mix_voices(mix + 2 * static_cast<size_t>(done), active_voices(), frames);
        done += frames;
        left -= frames;
    }
    song->tick_samples_left = left;
}

// Mixes every playing song into the write chunk and converts it for the device. The caller
// holds the render mutex.
const int16_t* fill_chunk(uint64_t heard_frame)
{
    state.busy.store(true, std::memory_order_release);
    filling_here = true;
    const int32_t chunk = state.chunk;
    const int32_t w = state.write_chunk;
    float* mix =
        state.mix + static_cast<size_t>(2) * static_cast<size_t>(w) * static_cast<size_t>(chunk);
    std::fill(mix, mix + 2 * static_cast<size_t>(chunk), 0.0f);
    state.chunk_heard_frame = heard_frame;

    // A tick handler may stop songs, its own included; a stopped song is linked to itself.
    Song* head = playing_songs();
    for (Song* song = head->next; song != head;) {
        Song* const next = song->next;
        if (song->playing) fill_song(song, mix, chunk);
        if (song->next != song) {
            song = song->next;
        } else if (next->next != next) {
            song = next;
        } else {
            break;  // the handler stopped this song and the one after it: nothing to go on from
        }
    }

    int16_t* pcm = state.pcm.get() +
                   static_cast<size_t>(2) * static_cast<size_t>(w) * static_cast<size_t>(chunk);
    mix_to_pcm16(pcm, mix, chunk);
    state.last_mix = mix;
    platform::audio_ring_written();
    state.frames_mixed += static_cast<uint64_t>(chunk);
    state.chunk_done = 0;
    state.write_chunk = w + 1 == state.chunk_count ? 0 : w + 1;
    state.chunks_filled.fetch_add(1, std::memory_order_release);
    filling_here = false;
    state.busy.store(false, std::memory_order_release);
    return pcm;
}

void mix_thread()
{
    platform::thread_raise_priority();
    while (!state.stop.load(std::memory_order_acquire)) {
        sound_fill_pass();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.exited.store(true, std::memory_order_release);
}

void release_buffers()
{
    state.mix = nullptr;
    state.last_mix = nullptr;
    state.mix_storage.reset();
    state.pcm.reset();
    state.chunk = state.ring = state.chunk_count = 0;
}

// Everything of sound_open but the thread.
bool open_device(int32_t rate)
{
    if (!stream_callbacks_installed() || filling_here) return false;
    sound_close();
    if (rate < MIN_RATE || rate > MAX_RATE) return false;

    const int32_t chunk = chunk_frames_for(rate);
    const int64_t ring = static_cast<int64_t>(state.buffer_time / 20) * chunk * 2;
    // The device takes the ring's size in 32-bit bytes.
    if (ring * 4 > static_cast<int64_t>(UINT32_MAX)) return false;

    MixerExclusion exclusion;
    const size_t floats = static_cast<size_t>(ring) * 2;
    // Four spare floats leave room to move the start to a 16-byte boundary.
    state.mix_storage.reset(new (std::nothrow) float[floats + 4]());
    state.pcm.reset(new (std::nothrow) int16_t[floats]());
    if (!state.mix_storage || !state.pcm) {
        release_buffers();
        return false;
    }
    void* start = state.mix_storage.get();
    size_t space = (floats + 4) * sizeof(float);
    state.mix = static_cast<float*>(std::align(16, floats * sizeof(float), start, space));

    if (!voice_pool_create(rate)) {
        release_buffers();
        return false;
    }
    if (!platform::audio_open(rate, reinterpret_cast<const uint8_t*>(state.pcm.get()),
                              static_cast<uint32_t>(ring * 4))) {
        voice_pool_destroy();
        release_buffers();
        return false;
    }
    state.chunk = chunk;
    state.ring = static_cast<int32_t>(ring);
    state.chunk_count = state.ring / chunk;
    state.write_chunk = 0;
    state.frames_mixed = 0;
    state.chunk_done = 0;
    state.chunks_filled.store(0);
    state.next_heard_frame = static_cast<uint64_t>(ring);
    state.underruns.store(0);
    state.open = true;
    state.timing_only = false;

    // Songs started before, or playing across a reopen: new rate, new voices.
    Song* head = playing_songs();
    for (Song* song = head->next; song != head; song = song->next) {
        song_set_bpm(song, song->bpm);
        song_bind_voices(song);
    }
    return true;
}

}  // namespace

MixerExclusion::MixerExclusion()
{
    // The flag alone would let the thread start its next chunk right away; the mutex it holds
    // for each chunk is what keeps it out until this guard ends. The thread filling a chunk
    // already holds the mutex (the recursive lock nests) and would wait on its own flag.
    if (!filling_here) {
        while (state.busy.load(std::memory_order_acquire)) std::this_thread::yield();
    }
    state.render_mutex.lock();
}

MixerExclusion::~MixerExclusion()
{
    state.render_mutex.unlock();
}

bool filling_chunk_here()
{
    return filling_here;
}

int32_t chunk_frames_for(int32_t rate)
{
    return static_cast<int32_t>((static_cast<int64_t>(rate) * 20 / 1000 + 3) & ~int64_t{3});
}

int32_t ring_frames_for(int32_t rate, int32_t buffer_time)
{
    return buffer_time / 20 * chunk_frames_for(rate) * 2;
}

bool chunk_due(int32_t w, int32_t p, int32_t n)
{
    const int32_t q = p == 0 ? n - 1 : p - 1;
    return w != p && (w <= q || q == 0);
}

bool sound_set_buffer_time(int32_t milliseconds)
{
    // The upper bound only keeps the ring's size in range; nobody buffers ten seconds.
    state.buffer_time = std::clamp(milliseconds, 20, 10000) / 20 * 20;
    return true;
}

int32_t sound_buffer_time()
{
    return state.buffer_time;
}

bool sound_open(int32_t rate)
{
    if (!open_device(rate)) return false;
    state.stop.store(false, std::memory_order_release);
    state.exited.store(false, std::memory_order_release);
    state.thread = std::thread(mix_thread);
    return true;
}

bool sound_open_offline(int32_t rate)
{
    return open_device(rate);
}

void sound_close()
{
    // The thread filling a chunk can neither wait for itself to end nor release the buffers
    // it is filling.
    if (filling_here) return;
    state.stop.store(true, std::memory_order_release);
    if (state.thread.joinable()) {
        while (!state.exited.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        state.thread.join();
    }
    MixerExclusion exclusion;
    if (!state.open) return;
    state.open = false;
    voice_pool_destroy();
    Song* head = playing_songs();
    for (Song* song = head->next; song != head; song = song->next) song_bind_voices(song);
    platform::audio_reset();
    platform::audio_close();
    release_buffers();
}

bool sound_is_open()
{
    return state.open;
}

int32_t sound_chunk_frames()
{
    return state.chunk;
}

int32_t sound_ring_frames()
{
    return state.ring;
}

int32_t sound_chunk_count()
{
    return state.chunk_count;
}

const int16_t* sound_ring()
{
    return state.pcm.get();
}

bool sound_fill_pass()
{
    std::lock_guard<std::recursive_mutex> lock(state.render_mutex);
    if (!state.open) return false;
    const uint64_t frame = platform::audio_position() / 4;
    const uint64_t ring = static_cast<uint64_t>(state.ring);
    const auto p = static_cast<int32_t>(frame % ring / static_cast<uint64_t>(state.chunk));
    if (!chunk_due(state.write_chunk, p, state.chunk_count)) return false;
    // The chunk is heard the next time the cursor reaches it. It is never the chunk being
    // played, so it lies wholly behind the cursor (next lap) or wholly ahead (this lap).
    uint64_t heard = frame - frame % ring +
                     static_cast<uint64_t>(state.write_chunk) * static_cast<uint64_t>(state.chunk);
    if (heard <= frame) heard += ring;
    // Every chunk the cursor reached between the due place and this one played what it held
    // a lap before.
    if (heard > state.next_heard_frame) {
        state.underruns.fetch_add(
            (heard - state.next_heard_frame) / static_cast<uint64_t>(state.chunk),
            std::memory_order_relaxed);
    }
    state.next_heard_frame = heard + static_cast<uint64_t>(state.chunk);
    fill_chunk(heard);
    return true;
}

const int16_t* sound_fill_chunk()
{
    std::lock_guard<std::recursive_mutex> lock(state.render_mutex);
    if (!state.open) return nullptr;
    state.next_heard_frame += static_cast<uint64_t>(state.chunk);
    return fill_chunk(state.frames_mixed);
}

const float* sound_last_mix()
{
    return state.last_mix;
}

uint64_t sound_chunks_filled()
{
    return state.chunks_filled.load(std::memory_order_acquire);
}

uint64_t sound_underruns()
{
    return state.underruns.load(std::memory_order_relaxed);
}

void sound_set_timing_only(bool on)
{
    MixerExclusion exclusion;
    state.timing_only = on;
}

uint64_t sound_mix_frame()
{
    return state.frames_mixed + static_cast<uint64_t>(state.chunk_done);
}

uint64_t sound_heard_frame()
{
    return state.chunk_heard_frame + static_cast<uint64_t>(state.chunk_done);
}

}  // namespace player
