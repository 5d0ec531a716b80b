// xm_fuzz.cpp -- libFuzzer target: arbitrary bytes through the XM loader and the mixer

#include <cstddef>
#include <cstdint>

#include "player/mixer/mixer.h"
#include "player/stream.h"
#include "player/xm.h"

namespace {

void play_samples(const player::Song& song)
{
    static float buffer[2 * 256];
    static const uint64_t steps[] = {0x0'8000'0001ull, 0x1'0000'0000ull, 0x5'7000'0003ull};
    for (int i = 0; i < song.instrument_count; ++i) {
        for (int k = 0; k < song.instruments[i].sample_count; ++k) {
            for (uint64_t step : steps) {
                player::Voice& voice = player::voice_pool()[0];
                voice.step = static_cast<uint32_t>(step >> 32);
                voice.step_frac = static_cast<uint32_t>(step);
                voice.gain_left = 255;
                voice.start_offset = static_cast<uint32_t>(step % 61);
                player::voice_play(0, song.instruments[i].samples[k]);
                player::mix_voices(buffer, player::active_voices(), 256);
                player::voice_stop(0);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool pool = player::voice_pool_create(44100);
    if (!pool || size > 4u << 20) return 0;
    player::mem_register(data, static_cast<uint32_t>(size));
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::Song* song = player::song_load("fuzz.xm", nullptr);
    if (song != nullptr) {
        play_samples(*song);
        player::song_free(song);
    }
    return 0;
}
