// offline.cpp -- rendering a song offline: the virtual device, chunks filled back to back

#include "offline.h"

#include <algorithm>

#include "platform/virtual/virtual_audio.h"
#include "player/control.h"
#include "player/mixer/output.h"
#include "song_watch.h"

namespace xmplay {

RenderResult render_song(player::Song* song, int32_t rate, uint64_t max_frames, bool stop_at_end,
                         bool record_rows, const PcmSink& sink, const Progress& progress)
{
    RenderResult result;
    platform::audio_set_device(platform::virtual_audio_device());
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

}  // namespace xmplay
