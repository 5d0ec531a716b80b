// offline.h -- the player driven offline: the virtual device moved by the caller, chunks
// filled by the player's own fill pass
#pragma once
#include <cstdint>
#include <functional>

#include "player/player.h"

namespace offline {

constexpr int32_t MAX_SECONDS = 20 * 60;  // nothing plays longer, unless looping live

// Receives the rendered frames (interleaved left, right) in order; false stops the render.
using PcmSink = std::function<bool(const int16_t* frames, uint32_t count)>;
// Told the frames rendered so far, now and then.
using Progress = std::function<void(uint64_t frames)>;

struct RenderResult {
    bool started = false;      // the sound opened and the song started
    bool device_busy = false;  // not started: another audio device is open (live sound)
    uint64_t frames = 0;       // frames handed to the sink
    bool ended = false;        // the song reached its end within them
    bool sink_failed = false;
};

// Starts `song` and renders it at `rate` on the virtual device, chunk after chunk without
// waiting (refused while live sound is open on another device: the player has one output), into
// `sink` (null: only timed, nothing mixed). Stops after `max_frames` frames, or where the song ends
// when `stop_at_end`. The sound is closed and the song stopped again afterwards; with `record_rows`
// its row starts are left in recorded_rows().
RenderResult render_song(player::Song* song, int32_t rate, uint64_t max_frames, bool stop_at_end,
                         bool record_rows, const PcmSink& sink, const Progress& progress);

// Plays `frames` frames on the virtual device as a real one would while the mixing thread
// keeps up: the device moves on to the next chunk boundary at most, the chunks that fell due
// are filled, and so on. What the device played is copied into `heard` when not null
// (frames * 2 samples). For drivers that move sound and pictures in step (quorbela-capture),
// with the sound opened by sound_open_offline.
void play_device(uint32_t frames, int16_t* heard);

}  // namespace offline
