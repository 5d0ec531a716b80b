// replay_fuzz.cpp -- libFuzzer target: whatever loads is started and rendered for 10 seconds
// offline, so the patterns' notes and effect parameters drive the replay and the mixer

#include <cstddef>
#include <cstdint>

#include "tools/offline/offline.h"
#include "player/stream.h"
#include "player/xm.h"

namespace {

constexpr uint64_t RENDER_SECONDS = 10;
// The rate follows the input's length, so the mixer sees small and large steps alike.
constexpr int32_t RATES[] = {8000, 22050, 44100, 96000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4u << 20) return 0;
    player::mem_register(data, static_cast<uint32_t>(size));
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::Song* song = player::song_load("fuzz.xm", nullptr);
    if (song == nullptr) return 0;

    const int32_t rate = RATES[size % (sizeof RATES / sizeof RATES[0])];
    // Both rule sets are reached: the size's next bit chooses.
    player::song_set_rules(song, (size >> 2) % 2 == 0 ? player::Rules::FT2 : player::Rules::SHOW);
    // A sink makes the render mix; without one it would only run the ticks.
    const offline::PcmSink sink = [](const int16_t*, uint32_t) { return true; };
    offline::render_song(song, rate, RENDER_SECONDS * static_cast<uint64_t>(rate), false, false,
                         sink, nullptr);
    player::song_free(song);
    return 0;
}
