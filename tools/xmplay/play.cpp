// play.cpp -- playing a song live on the sound device, with a progress line and q/Escape/Ctrl-C

#include <chrono>
#include <cstdio>
#include <thread>

#include "modes.h"
#ifdef _WIN32
#include "platform/win32/wave_out.h"
#else
#include "platform/sdl/sdl_audio.h"
#endif
#include "player/player.h"
#include "terminal.h"
#include "tools/offline/offline.h"
#include "tools/offline/song_watch.h"

namespace xmplay {

namespace {

void show_time(char* out, size_t size, uint64_t frames, int32_t rate)
{
    const uint64_t seconds = frames / static_cast<uint64_t>(rate);
    std::snprintf(out, size, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
}

void draw_status(uint64_t elapsed, uint64_t total, int32_t rate, int32_t order, int32_t row,
                 int32_t orders, uint64_t underruns)
{
    constexpr uint64_t WIDTH = 30;
    const uint64_t shown = total > 0 ? elapsed % (total + 1) : 0;
    const uint64_t filled = total > 0 ? shown * WIDTH / total : 0;
    char bar[WIDTH + 1];
    for (uint64_t i = 0; i < WIDTH; ++i) bar[i] = i < filled ? '#' : '-';
    bar[WIDTH] = '\0';
    char now[48], all[48];
    show_time(now, sizeof now, elapsed, rate);
    show_time(all, sizeof all, total, rate);
    std::printf("\r[%s] %s / %s  order %3d/%d  row %3d ", bar, now, all, order, orders, row);
    if (underruns > 0) std::printf(" underruns %llu ", static_cast<unsigned long long>(underruns));
    std::fflush(stdout);
}

}  // namespace

int run_play(player::Song* song, const ModuleFile& module, const Options& options)
{
    const int32_t rate = options.rate;
    // The length comes from an offline render first: fast, and the same song to the frame.
    const uint64_t total = song_frames(song, options);
    const uint64_t cap = static_cast<uint64_t>(offline::MAX_SECONDS) * static_cast<uint64_t>(rate);

#ifdef _WIN32
    platform::audio_set_device(platform::wave_out_audio_device());
#else
    platform::audio_set_device(platform::sdl_audio_device());
#endif
    player::sound_set_buffer_time(100);
    if (!run_quietly([rate] { return player::sound_open(rate); })) {
        report(options.file, std::string("no sound device (") + platform::audio_error() + ")");
        return 1;
    }

    const bool on_terminal = output_is_terminal();
    const player::SongInfo info = player::song_info(song);
    std::printf("Playing \"%s\": %d channels, %d orders, speed %d, %d BPM\n",
                printable(module.name).c_str(), info.channels, info.orders, info.speed, info.bpm);
    if (on_terminal) std::printf("q, Escape or Ctrl-C stops\n");
    std::fflush(stdout);

    offline::watch_song(song, false);
    if (!player::song_start(song)) {
        offline::unwatch_song(song);
        player::sound_close();
        report(options.file, "cannot play (out of memory)");
        return 1;
    }
    {
        KeyReader keys;
        auto last_draw = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        while (!keys.quit_pressed()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!offline::song_began()) continue;
            const uint64_t device = platform::audio_position() / 4;
            const uint64_t start = offline::song_start_heard_frame();
            const uint64_t elapsed = device > start ? device - start : 0;
            if (!options.loop) {
                uint64_t end = start + (options.has_seconds ? total : cap);
                if (!options.has_seconds && offline::song_ended())
                    end = offline::song_end_heard_frame();
                if (device >= end) break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (on_terminal && now - last_draw >= std::chrono::milliseconds(100)) {
                last_draw = now;
                int32_t order = 0, row = 0;
                offline::heard_row(device, order, row);
                draw_status(elapsed, total, rate, order, row, info.orders,
                            player::sound_underruns());
            }
        }
    }
    player::song_stop(song);
    offline::unwatch_song(song);
    const uint64_t underruns = player::sound_underruns();
    player::sound_close();
    if (on_terminal) std::printf("\n");
    if (underruns > 0) {
        std::fprintf(
            stderr, "xmplay: %llu underruns (chunks played twice: the mixing thread fell behind)\n",
            static_cast<unsigned long long>(underruns));
    }
    return 0;
}

}  // namespace xmplay
