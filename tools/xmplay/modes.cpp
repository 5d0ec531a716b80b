// modes.cpp -- the offline modes: --info, --rows and --wav

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "modes.h"
#include "tools/offline/offline.h"
#include "tools/offline/song_watch.h"
#include "tools/offline/wav.h"

namespace xmplay {

namespace {

uint64_t seconds_to_frames(double seconds, int32_t rate)
{
    return static_cast<uint64_t>(std::llround(seconds * rate));
}

void draw_progress(uint64_t done, uint64_t total)
{
    constexpr int WIDTH = 40;
    const int filled = total > 0 ? static_cast<int>(done * WIDTH / total) : WIDTH;
    char bar[WIDTH + 1];
    for (int i = 0; i < WIDTH; ++i) bar[i] = i < filled ? '#' : '-';
    bar[WIDTH] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar,
                 total > 0 ? static_cast<int>(done * 100 / total) : 100);
}

}  // namespace

void report(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "xmplay: %s: %s\n", file.c_str(), reason.c_str());
}

uint64_t song_frames(player::Song* song, const Options& options)
{
    if (options.has_seconds) return seconds_to_frames(options.seconds, options.rate);
    const uint64_t cap =
        static_cast<uint64_t>(offline::MAX_SECONDS) * static_cast<uint64_t>(options.rate);
    return offline::render_song(song, options.rate, cap, true, false, nullptr, nullptr).frames;
}

int run_info(player::Song* song, const ModuleFile& module, const Options& options)
{
    const uint64_t frames = song_frames(song, options);
    const player::SongInfo info = player::song_info(song);
    std::printf(
        "{\"name\":%s,\"channels\":%d,\"patterns\":%d,\"instruments\":%d,\"orders\":%d,"
        "\"restart\":%d,\"speed\":%d,\"bpm\":%d,\"linear\":%s,\"bytes\":%zu,"
        "\"rules\":\"%s\",\"duration_s\":%.3f}\n",
        json_string(module.name).c_str(), info.channels, module.patterns, info.instruments,
        info.orders, info.restart, info.speed, info.bpm, info.linear ? "true" : "false",
        module.bytes.size(), rules_name(player::song_rules(song)),
        static_cast<double>(frames) / options.rate);
    return 0;
}

int run_rows(player::Song* song, const Options& options)
{
    const uint64_t limit = options.has_seconds ? seconds_to_frames(options.seconds, options.rate)
                                               : static_cast<uint64_t>(offline::MAX_SECONDS) *
                                                     static_cast<uint64_t>(options.rate);
    const offline::RenderResult result = offline::render_song(
        song, options.rate, limit, !options.has_seconds, true, nullptr, nullptr);
    if (!result.started) {
        report(options.file, "cannot render (out of memory)");
        return 1;
    }
    for (const offline::RowStart& row : offline::recorded_rows()) {
        if (row.frame >= result.frames) break;
        std::printf("%llu %d %d\n", static_cast<unsigned long long>(row.frame), row.order, row.row);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int run_wav(player::Song* song, const Options& options)
{
    const bool show_progress = isatty(STDERR_FILENO) != 0;
    const uint64_t limit = options.has_seconds ? seconds_to_frames(options.seconds, options.rate)
                                               : static_cast<uint64_t>(offline::MAX_SECONDS) *
                                                     static_cast<uint64_t>(options.rate);
    // Only a bar on a terminal needs the length up front; it costs a second render.
    const uint64_t total = show_progress ? song_frames(song, options) : 0;

    offline::WavWriter wav;
    if (!wav.open(options.wav_path, options.rate)) {
        report(options.wav_path, std::string("cannot write (") + std::strerror(errno) + ")");
        return 1;
    }
    const offline::PcmSink sink = [&wav](const int16_t* frames, uint32_t count) {
        return wav.write(frames, count);
    };
    offline::Progress progress;
    if (show_progress) progress = [total](uint64_t done) { draw_progress(done, total); };
    const offline::RenderResult result = offline::render_song(
        song, options.rate, limit, !options.has_seconds, false, sink, progress);
    if (show_progress) {
        draw_progress(total, total);
        std::fputc('\n', stderr);
    }
    if (!result.started) {
        report(options.file, "cannot render (out of memory)");
        return 1;
    }
    if (result.sink_failed || !wav.finish()) {
        report(options.wav_path, std::string("cannot write (") + std::strerror(errno) + ")");
        return 1;
    }
    return 0;
}

}  // namespace xmplay
