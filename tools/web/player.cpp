// player.cpp -- xmplay.js, the XM player in the browser: the page hands over a file's bytes and
// drives playing through the functions below; the answers are JSON or text for the page
//
// No thread fills the sound: whenever the page's device says it played on, the player's own
// fill pass runs here and what it wrote goes to the device. Songs play by the player's
// default rules, as xmplay plays them.
#include <emscripten/emscripten.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "module_file.h"
#include "platform/audio.h"
#include "platform/video.h"
#include "platform/web/web_audio.h"
#include "player/player.h"
#include "tools/offline/offline.h"
#include "tools/offline/song_watch.h"

namespace {

constexpr int32_t RATE = 44100;

enum class State { EMPTY, STOPPED, PLAYING, PAUSED };

struct WebPlayer {
    xmplay::ModuleFile module;
    player::Song* song = nullptr;
    uint64_t length_frames = 0;  // to the song's end, at most offline::MAX_SECONDS
    State state = State::EMPTY;
    bool loop = false;
    std::string error;
    std::string answer;  // the text the last call returned; valid until the next call
};
WebPlayer web;

const char* answer(std::string text)
{
    web.answer = std::move(text);
    return web.answer.c_str();
}

void stop_playing()
{
    if (web.state != State::PLAYING && web.state != State::PAUSED) return;
    player::song_stop(web.song);
    offline::unwatch_song(web.song);
    player::sound_close();
    web.state = State::STOPPED;
}

uint64_t device_frame()
{
    return platform::audio_position() / 4;
}

// Frames heard since the song's first tick.
uint64_t elapsed_frames()
{
    if (web.state != State::PLAYING && web.state != State::PAUSED) return 0;
    if (!offline::song_began()) return 0;
    const uint64_t device = device_frame();
    const uint64_t start = offline::song_start_heard_frame();
    return device > start ? device - start : 0;
}

void pump_sound()
{
    if (web.state != State::PLAYING) return;
    while (player::sound_fill_pass()) {}
    platform::web::sound_send_changes();
    // Without the loop the song ends where it would start over, as xmplay's does.
    if (!web.loop && offline::song_ended() && device_frame() >= offline::song_end_heard_frame())
        stop_playing();
}

void format_time(char* out, size_t size, uint64_t frames)
{
    const uint64_t seconds = frames / RATE;
    std::snprintf(out, size, "%" PRIu64 ":%02" PRIu64, seconds / 60, seconds % 60);
}

constexpr const char* NOTE_NAMES[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                        "F#", "G-", "G#", "A-", "A#", "B-"};

// One cell as a tracker shows it: note, instrument, volume column, effect.
std::string cell_text(const player::SongCell& cell)
{
    char note[4] = "...";
    if (cell.note == player::SONG_NOTE_KEY_OFF) {
        std::snprintf(note, sizeof note, "===");
    } else if (cell.note >= 1 && cell.note <= 96) {
        std::snprintf(note, sizeof note, "%s%d", NOTE_NAMES[(cell.note - 1) % 12],
                      (cell.note - 1) / 12);
    }
    char instrument[3] = "..";
    if (cell.instrument != 0)
        std::snprintf(instrument, sizeof instrument, "%02X", cell.instrument & 0xFF);
    // The volume column: a volume 00..40, or a command letter and its nibble.
    char volume[3] = "..";
    const uint8_t v = cell.volume;
    if (v >= 0x10 && v <= 0x50) {
        std::snprintf(volume, sizeof volume, "%02X", v - 0x10);
    } else if (v >= 0x60) {
        constexpr char COMMANDS[] = "-+DUSVPLRM";
        std::snprintf(volume, sizeof volume, "%c%X", COMMANDS[(v >> 4) - 6], v & 0x0F);
    }
    char effect[4] = "...";
    if (cell.effect != 0 || cell.parameter != 0) {
        const char letter = cell.effect < 10   ? static_cast<char>('0' + cell.effect)
                            : cell.effect < 36 ? static_cast<char>('A' + cell.effect - 10)
                                               : '?';
        std::snprintf(effect, sizeof effect, "%c%02X", letter, cell.parameter);
    }
    return std::string(note) + " " + instrument + " " + volume + " " + effect;
}

}  // namespace

extern "C" {

// Takes a file's bytes (the caller frees them afterwards); 0 with web_player_error set when
// they are not a module the player can play.
EMSCRIPTEN_KEEPALIVE int web_player_load(const uint8_t* bytes, uint32_t size, const char* file_name)
{
    stop_playing();
    if (web.song != nullptr) player::song_free(web.song);
    const bool loop = web.loop;  // the page's setting, whatever file comes
    web = WebPlayer{};
    web.loop = loop;
    const std::string name = file_name != nullptr ? file_name : "module";
    std::string reason;
    if (!xmplay::module_from_bytes(std::vector<uint8_t>(bytes, bytes + size), web.module, reason)) {
        web.error = name + ": " + reason;
        return 0;
    }
    web.song = xmplay::load_song(web.module, reason);
    if (web.song == nullptr) {
        web.error = name + ": " + reason;
        web.module = {};
        return 0;
    }
    // The length from an offline render: fast, and the same song to the frame.
    const uint64_t cap = static_cast<uint64_t>(offline::MAX_SECONDS) * RATE;
    web.length_frames =
        offline::render_song(web.song, RATE, cap, true, false, nullptr, nullptr).frames;
    web.state = State::STOPPED;
    return 1;
}

EMSCRIPTEN_KEEPALIVE const char* web_player_error()
{
    return web.error.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* web_player_info()
{
    if (web.song == nullptr) return answer("null");
    const player::SongInfo info = player::song_info(web.song);
    char text[512];
    std::snprintf(
        text, sizeof text,
        ",\"channels\":%d,\"instruments\":%d,\"patterns\":%d,\"orders\":%d,\"speed\":%d,\"bpm\":%d,"
        "\"length\":%.3f}",
        info.channels, info.instruments, web.module.patterns, info.orders, info.speed, info.bpm,
        static_cast<double>(web.length_frames) / RATE);
    return answer("{\"title\":" + xmplay::json_string(web.module.name) + text);
}

// Plays from the start, or on from a pause; 0 with web_player_error set without sound.
EMSCRIPTEN_KEEPALIVE int web_player_play()
{
    if (web.song == nullptr) return 0;
    if (web.state == State::PAUSED) {
        platform::web::sound_pause(false);
        web.state = State::PLAYING;
        return 1;
    }
    if (web.state == State::PLAYING) return 1;
    platform::audio_set_device(platform::web_audio_device());
    platform::web::set_sound_pump(pump_sound);
    player::sound_set_buffer_time(100);
    if (!player::sound_open_offline(RATE)) {
        web.error = std::string("no sound (") + platform::audio_error() + ")";
        return 0;
    }
    offline::watch_song(web.song, true);
    if (!player::song_start(web.song)) {
        offline::unwatch_song(web.song);
        player::sound_close();
        web.error = "cannot play (out of memory)";
        return 0;
    }
    web.state = State::PLAYING;
    return 1;
}

EMSCRIPTEN_KEEPALIVE void web_player_pause()
{
    if (web.state != State::PLAYING) return;
    platform::web::sound_pause(true);
    web.state = State::PAUSED;
}

EMSCRIPTEN_KEEPALIVE void web_player_stop()
{
    stop_playing();
}

EMSCRIPTEN_KEEPALIVE void web_player_set_loop(int loop)
{
    web.loop = loop != 0;
}

// Where the song is as heard: {"state", "order", "orders", "pattern", "row", "rows",
// "time", "length", "seconds", "underruns"}.
EMSCRIPTEN_KEEPALIVE const char* web_player_status()
{
    static constexpr const char* STATES[] = {"empty", "stopped", "playing", "paused"};
    int32_t order = 0;
    int32_t row = 0;
    const bool heard = (web.state == State::PLAYING || web.state == State::PAUSED) &&
                       offline::heard_row(device_frame(), order, row);
    int32_t pattern = 0;
    int32_t rows = 0;
    if (heard && player::song_order_pattern(web.song, order) >= 0) {
        pattern = player::song_order_pattern(web.song, order);
        rows = player::song_pattern_rows(web.song, pattern);
    }
    // Looping, the clock starts again with each round of the song.
    uint64_t elapsed = elapsed_frames();
    if (web.length_frames > 0 && web.loop) elapsed %= web.length_frames + 1;
    char now[32];
    char length[32];
    format_time(now, sizeof now, elapsed);
    format_time(length, sizeof length, web.length_frames);
    char text[320];
    std::snprintf(
        text, sizeof text,
        "{\"state\":\"%s\",\"order\":%d,\"orders\":%d,\"pattern\":%d,\"row\":%d,\"rows\":%d,"
        "\"time\":\"%s\",\"length\":\"%s\",\"seconds\":%.3f,\"underruns\":%" PRIu64 "}",
        STATES[static_cast<int>(web.state)], heard ? order : -1, player::song_info(web.song).orders,
        pattern, heard ? row : -1, rows, now, length, static_cast<double>(elapsed) / RATE,
        player::sound_underruns());
    return answer(text);
}

// The rows `around` before and after `row` of the pattern at `order`, one line each: the row
// number, then each channel's cell; the line of `row` itself starts with '>'.
EMSCRIPTEN_KEEPALIVE const char* web_player_rows(int order, int row, int around)
{
    const int32_t pattern = player::song_order_pattern(web.song, order);
    if (pattern < 0) return answer("");
    const int32_t rows = player::song_pattern_rows(web.song, pattern);
    const int32_t channels = player::song_info(web.song).channels;
    std::string text;
    for (int r = row - around; r <= row + around; ++r) {
        if (r < 0 || r >= rows) {
            text += "\n";
            continue;
        }
        char number[12];
        std::snprintf(number, sizeof number, "%c%02d ", r == row ? '>' : ' ', r);
        text += number;
        for (int c = 0; c < channels; ++c) {
            player::SongCell cell;
            player::song_cell(web.song, pattern, r, c, &cell);
            text += "|";
            text += cell_text(cell);
        }
        text += "\n";
    }
    return answer(text);
}

// Renders the whole song as xmplay --wav does, by FT2's rules (0) or the show's (1), and names
// the sound by its frame count and the 64-bit FNV-1a of its bytes (platform::frame_hash):
// {"frames", "hash"}. Stops the playing first; the song plays by its own rules again after.
EMSCRIPTEN_KEEPALIVE const char* web_player_render(int show_rules)
{
    if (web.song == nullptr) return answer("null");
    stop_playing();
    const player::Rules rules = player::song_rules(web.song);
    player::song_set_rules(web.song, show_rules != 0 ? player::Rules::SHOW : player::Rules::FT2);
    std::vector<uint8_t> pcm;
    const offline::PcmSink sink = [&pcm](const int16_t* frames, uint32_t count) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(frames);
        pcm.insert(pcm.end(), bytes, bytes + static_cast<size_t>(count) * 4);
        return true;
    };
    const uint64_t cap = static_cast<uint64_t>(offline::MAX_SECONDS) * RATE;
    const offline::RenderResult result =
        offline::render_song(web.song, RATE, cap, true, false, sink, nullptr);
    player::song_set_rules(web.song, rules);
    char text[96];
    std::snprintf(text, sizeof text, "{\"frames\":%" PRIu64 ",\"hash\":\"%016" PRIx64 "\"}",
                  result.frames, platform::frame_hash(pcm.data(), pcm.size()));
    return answer(text);
}

}  // extern "C"
