// offline.cpp -- the player driven offline: back to back, or in step with the caller's clock

#include "tools/offline/offline.h"

#include <algorithm>

#include "platform/virtual/virtual_audio.h"
#include "player/player.h"
#include "tools/offline/song_watch.h"

namespace offline {

RenderResult render_song(player::Song* song, int32_t rate, uint64_t max_frames, bool stop_at_end,
                         bool record_rows, const PcmSink& sink, const Progress& progress)
{
    RenderResult result;
    if (!platform::audio_set_device(platform::virtual_audio_device())) {
        result.device_busy = true;
        return result;
    }
    if (!player::sound_open_offline(rate)) return result;
    // Where rows start and the song ends needs the ticks, not the sound.
    player::sound_set_timing_only(!sink);
    watch_song(song, record_rows);
    if (!player::song_start(song)) {
        unwatch_song(song);
        player::sound_close();
        return result;
    }
    result.started = true;

    // The device is never asked: each chunk is filled as soon as the last one is out.
    const auto chunk = static_cast<uint64_t>(player::sound_chunk_frames());
    uint64_t chunks = 0;
    while (result.frames < max_frames) {
        const int16_t* pcm = player::sound_fill_chunk();
        uint64_t count = std::min(chunk, max_frames - result.frames);
        if (stop_at_end && song_ended()) {
            result.ended = true;
            count = std::min(count, song_end_frame() - std::min(song_end_frame(), result.frames));
        }
        if (count > 0 && sink && !sink(pcm, static_cast<uint32_t>(count))) {
            result.sink_failed = true;
            break;
        }
        result.frames += count;
        if (result.ended) break;
        if (progress && ++chunks % 256 == 0) progress(result.frames);
    }
    if (!result.ended && song_ended() && song_end_frame() <= result.frames) result.ended = true;

    player::song_stop(song);
    unwatch_song(song);
    player::sound_close();
    return result;
}

void play_device(uint32_t frames, int16_t* heard)
{
    const auto chunk = static_cast<uint32_t>(player::sound_chunk_frames());
    while (frames > 0) {
        uint32_t step = frames;
        if (chunk > 0) {
            const auto at = static_cast<uint32_t>(platform::audio_position() / 4 % chunk);
            step = std::min(step, chunk - at);
        }
        platform::virtual_audio_advance(step, heard);
        if (heard != nullptr) heard += static_cast<size_t>(step) * 2;
        frames -= step;
        while (player::sound_fill_pass()) {}
    }
}

}  // namespace offline
