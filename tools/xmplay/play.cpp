// play.cpp -- playing a song live on the sound device, with a progress line and q/Escape/Ctrl-C

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "modes.h"
#include "offline.h"
#include "platform/sdl/sdl_audio.h"
#include "player/control.h"
#include "player/mixer/output.h"
#include "song_watch.h"

namespace xmplay {

namespace {

volatile sig_atomic_t interrupted = 0;

void on_signal(int)
{
    interrupted = 1;
}

// Puts the terminal into a mode where single keys arrive at once without echo, and puts it
// back as it was. Ctrl-C still sends its signal.
class KeyReader {
public:
    KeyReader()
    {
        active_ = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved_) == 0;
        if (!active_) return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~KeyReader()
    {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;

    // True when q or Escape was pressed. An Escape that starts a key sequence (an arrow key)
    // comes with its other bytes and does not count.
    bool quit_pressed()
    {
        if (!active_) return false;
        char keys[32];
        const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
        for (ssize_t i = 0; i < count; ++i) {
            if (keys[i] == 'q' || keys[i] == 'Q') return true;
            if (keys[i] == 27) {
                if (i + 1 == count) return true;
                break;
            }
        }
        return false;
    }

private:
    termios saved_{};
    bool active_ = false;
};

void show_time(char* out, size_t size, uint64_t frames, int32_t rate)
{
    const uint64_t seconds = frames / static_cast<uint64_t>(rate);
    std::snprintf(out, size, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
}

void draw_status(uint64_t elapsed, uint64_t total, int32_t rate, int32_t order, int32_t row,
                 int32_t orders)
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
    std::fflush(stdout);
}

// Sound libraries print their own complaints while they probe for devices; the one line
// xmplay prints says what matters.
bool open_quietly(int32_t rate)
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
    const bool opened = player::sound_open(rate);
    std::fflush(stderr);
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    return opened;
}

}  // namespace

int run_play(player::Song* song, const ModuleFile& module, const Options& options)
{
    const int32_t rate = options.rate;
    // The length comes from an offline render first: fast, and the same song to the frame.
    const uint64_t total = song_frames(song, options);
    const uint64_t cap = static_cast<uint64_t>(MAX_SECONDS) * static_cast<uint64_t>(rate);

    platform::audio_set_device(platform::sdl_audio_device());
    player::sound_set_buffer_time(100);
    if (!open_quietly(rate)) {
        report(options.file, std::string("no sound device (") + platform::audio_error() + ")");
        return 1;
    }

    const bool on_terminal = isatty(STDOUT_FILENO) != 0;
    std::printf("Playing \"%s\": %d channels, %d orders, speed %d, %d BPM\n", printable(module.name).c_str(),
                song->channel_count, song->song_length, song->default_speed, song->default_bpm);
    if (on_terminal) std::printf("q, Escape or Ctrl-C stops\n");
    std::fflush(stdout);

    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    struct sigaction old_int {}, old_term {}, old_hup {};
    sigaction(SIGINT, &action, &old_int);
    sigaction(SIGTERM, &action, &old_term);
    sigaction(SIGHUP, &action, &old_hup);

    watch_song(song, false);
    if (!player::song_start(song)) {
        unwatch_song(song);
        player::sound_close();
        report(options.file, "cannot play (out of memory)");
        return 1;
    }
    {
        KeyReader keys;
        auto last_draw = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        while (interrupted == 0 && !keys.quit_pressed()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!song_began()) continue;
            const uint64_t device = platform::audio_position() / 4;
            const uint64_t start = song_start_heard_frame();
            const uint64_t elapsed = device > start ? device - start : 0;
            if (!options.loop) {
                uint64_t end = start + (options.has_seconds ? total : cap);
                if (!options.has_seconds && song_ended()) end = song_end_heard_frame();
                if (device >= end) break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (on_terminal && now - last_draw >= std::chrono::milliseconds(100)) {
                last_draw = now;
                int32_t order = 0, row = 0;
                heard_row(device, order, row);
                draw_status(elapsed, total, rate, order, row, song->song_length);
            }
        }
    }
    player::song_stop(song);
    unwatch_song(song);
    player::sound_close();
    if (on_terminal) std::printf("\n");
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGTERM, &old_term, nullptr);
    sigaction(SIGHUP, &old_hup, nullptr);
    return 0;
}

}  // namespace xmplay
