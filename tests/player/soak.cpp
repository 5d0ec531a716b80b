// soak.cpp -- plays a song offline for a long time (an hour of the demo's song by default),
// through the output's own fill pass, and checks what must hold however long it plays: every
// mixed value finite, the position sequence the same on every loop from the restart position,
// no voice running once the song stops, and memory that does not grow. Prints its figures;
// exits 1 when a check fails.

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/audio.h"
#include "platform/virtual/virtual_audio.h"
#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/mixer/output.h"
#include "player/player.h"
#include "player/stream.h"

namespace {

using namespace player;

struct RowStart {
    int32_t order = 0, row = 0;
    uint64_t frame = 0;  // from the start of its loop
    bool operator==(const RowStart&) const = default;
};

// Row starts, as the song tells them. Loop 0 runs from order 0 to the song's first end; every
// later loop must repeat loop 1 exactly.
struct Soak {
    uint64_t loop_start = 0;
    int loop = 0;
    std::vector<RowStart> first, reference, current;
    int loops_compared = 0;
    int loops_differing = 0;
    int32_t channels = 0;
    uint64_t stray_voices = 0;  // row starts that found a voice beyond the song's channels running
};

Soak soak;

void end_loop()
{
    if (soak.loop >= 2) {
        ++soak.loops_compared;
        if (soak.current != soak.reference) ++soak.loops_differing;
    }
    if (soak.loop == 1) soak.reference = soak.current;
    soak.current.clear();
}

// On the thread filling the chunk: here, the driver's own.
void hear(const SongEvent& event, void*)
{
    if (event.kind == SongEventKind::SONG_ENDED) {
        end_loop();
        ++soak.loop;
        soak.loop_start = event.mix_frame;
        return;
    }
    const RowStart start{event.order, event.row, event.mix_frame - soak.loop_start};
    (soak.loop == 0 ? soak.first : soak.current).push_back(start);

    const Voice* voices = voice_pool();
    for (int32_t i = soak.channels; i < VOICE_COUNT; ++i) {
        if (voices[i].sample != nullptr) ++soak.stray_voices;
    }
}

// Fills one chunk with the output's own fill pass and looks at its float mix. False when a
// mixed value is not finite.
bool fill_chunk_checked(std::vector<int16_t>& pcm)
{
    const int16_t* filled = sound_fill_chunk();
    const float* mix = sound_last_mix();
    if (filled == nullptr || mix == nullptr) return false;
    const size_t values = 2 * static_cast<size_t>(sound_chunk_frames());
    std::copy(filled, filled + values, pcm.begin());
    bool finite = true;
    for (size_t i = 0; i < values; ++i) finite = finite && std::isfinite(mix[i]);
    return finite;
}

// Kilobytes of the named line of /proc/self/status (VmRSS, VmHWM).
long status_kb(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(name);
    while (std::getline(status, line)) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
            return std::atol(line.c_str() + length + 1);
        }
    }
    return -1;
}

// Bytes the allocator has handed out and not had back.
size_t heap_in_use()
{
    return mallinfo2().uordblks;
}

bool parse_seconds(const char* text, double& seconds)
{
    char* end = nullptr;
    seconds = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(seconds) && seconds > 0 &&
           seconds <= 100 * 3600;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 3600;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::puts(
                "usage: soak [--seconds N] [FILE.xm]\n"
                "Plays FILE.xm (the demo's song when none is given) offline for N seconds of\n"
                "audio (3600 unless told) at 44100 Hz and checks that every mixed value is\n"
                "finite, that every loop repeats the positions of the first loop from the\n"
                "restart position, that no voice runs once the song stops, and that memory\n"
                "stays flat. Exits 1 when a check fails.");
            return 0;
        }
        if (arg == "--seconds") {
            if (i + 1 == argc || !parse_seconds(argv[++i], seconds)) {
                std::fprintf(stderr, "soak: --seconds wants a number of seconds up to 360000\n");
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "soak: unknown option %s (soak --help tells more)\n", arg.c_str());
            return 2;
        } else if (file.empty()) {
            file = arg;
        } else {
            std::fputs("soak: one module at a time\n", stderr);
            return 2;
        }
    }

    std::vector<uint8_t> bytes;
    if (file.empty()) {
        bytes.assign(assets::module_xm, assets::module_xm + assets::MODULE_SIZE);
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "soak: %s: cannot open\n", file.c_str());
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    mem_register(bytes.data(), static_cast<uint32_t>(bytes.size()));
    stream_set_callbacks(mem_open, mem_close, mem_read, mem_seek, mem_tell);
    platform::audio_set_device(platform::virtual_audio_device());
    constexpr int32_t RATE = 44100;
    if (!sound_open_offline(RATE)) {
        std::fputs("soak: cannot open the virtual sound device\n", stderr);
        return 1;
    }
    Song* song = song_load(file.empty() ? "quorbela.xm" : file.c_str(), nullptr);
    if (song == nullptr) {
        std::fprintf(stderr, "soak: %s: not a module the player can load\n",
                     file.empty() ? "the demo's song" : file.c_str());
        return 1;
    }
    // The demo's song plays by the show's rules, as the demo plays it; any other file by FT2's.
    if (file.empty()) song_set_rules(song, Rules::SHOW);
    soak.channels = song->channel_count;
    song_set_listener(song, hear, nullptr);
    if (!song_start(song)) {
        std::fputs("soak: cannot start the song\n", stderr);
        return 1;
    }

    const int32_t chunk = sound_chunk_frames();
    std::vector<int16_t> pcm(2 * static_cast<size_t>(chunk));
    const auto total = static_cast<uint64_t>(std::llround(seconds * RATE));
    uint64_t bad_chunks = 0;
    long rss_settled = -1;
    size_t heap_settled = 0;
    uint64_t frames = 0;
    for (; frames < total; frames += static_cast<uint64_t>(chunk)) {
        if (!fill_chunk_checked(pcm)) ++bad_chunks;
        // Everything the song keeps has been allocated once its first loop ends.
        if (rss_settled < 0 && soak.loop >= 2) {
            rss_settled = status_kb("VmRSS");
            heap_settled = heap_in_use();
        }
    }
    const long rss_end = status_kb("VmRSS");
    const size_t heap_end = heap_in_use();
    const bool ran_past_end = song->song_looped != 0;

    song_stop(song);
    uint64_t running = 0;
    for (int32_t i = 0; i < VOICE_COUNT; ++i) running += voice_pool()[i].sample != nullptr;
    bool silent_after_stop = fill_chunk_checked(pcm);
    for (const int16_t value : pcm) silent_after_stop = silent_after_stop && value == 0;

    // Loop 0 from the restart position on is what every later loop plays.
    bool first_matches = !soak.reference.empty();
    size_t at = 0;
    while (at < soak.first.size() && first_matches &&
           (soak.first[at].order != soak.reference[0].order ||
            soak.first[at].row != soak.reference[0].row)) {
        ++at;
    }
    first_matches = first_matches && soak.first.size() - at == soak.reference.size();
    for (size_t i = 0; first_matches && i < soak.reference.size(); ++i) {
        first_matches = soak.first[at + i].order == soak.reference[i].order &&
                        soak.first[at + i].row == soak.reference[i].row;
    }
    // A song that loops by a jump back restarts where the jump goes instead.
    const bool restarts_right =
        !soak.reference.empty() &&
        (!ran_past_end ||
         (soak.reference[0].order == song->restart_position && soak.reference[0].row == 0));

    const long heap_growth = static_cast<long>(heap_end) - static_cast<long>(heap_settled);
    std::printf(
        "audio %.0f s (%llu frames), loops completed %d, loops compared with loop 1 %d, differing "
        "%d\n",
        static_cast<double>(frames) / RATE, static_cast<unsigned long long>(frames), soak.loop,
        soak.loops_compared, soak.loops_differing);
    std::printf(
        "loop 1 starts at order %d row %d (restart position %d) and has %zu rows; loop 0 from "
        "there: %s\n",
        soak.reference.empty() ? -1 : soak.reference[0].order,
        soak.reference.empty() ? -1 : soak.reference[0].row, song->restart_position,
        soak.reference.size(), first_matches ? "the same rows" : "DIFFERENT rows");
    std::printf(
        "chunks with a non-finite value %llu, rows with a stray voice %llu, voices running after "
        "stop %llu, "
        "silent after stop %s\n",
        static_cast<unsigned long long>(bad_chunks),
        static_cast<unsigned long long>(soak.stray_voices),
        static_cast<unsigned long long>(running), silent_after_stop ? "yes" : "NO");
    // Resident memory may still creep up by the pages of sample data the later loops reach
    // first (looped voices carry their phase across loops); the heap must not move at all.
    std::printf(
        "heap in use after loop 1 %zu bytes, at the end %zu (growth %ld); RSS after loop 1 %ld kB, "
        "at the end %ld kB, peak %ld kB\n",
        heap_settled, heap_end, heap_growth, rss_settled, rss_end, status_kb("VmHWM"));

    const bool ok = bad_chunks == 0 && soak.stray_voices == 0 && running == 0 &&
                    silent_after_stop && soak.loops_compared > 0 && soak.loops_differing == 0 &&
                    first_matches && restarts_right && heap_growth <= 0;
    song_free(song);
    sound_close();
    if (soak.loops_compared == 0)
        std::puts("soak: too short: the song must loop three times to compare loops");
    if (!ok) std::puts("soak: FAILED");
    return ok ? 0 : 1;
}
