// replay_trace.h -- small modules written as pattern text, run tick by tick into a trace
//
// A cell is written "NNN II VV EPP": note (C-4, C#4, --- none, === key off), instrument and
// volume byte in hex (.. none), effect letter and parameter (... none). Cells of a row are
// separated by '|'. The trace has one line per tick: order, row and tick within the row, then
// for each of the song's voices the fields that changed during that tick. "play" marks a
// voice_play (with the start position), "stop" a voice_stop. Voices are not mixed between
// ticks, so what the trace shows is exactly what the replay wrote. A tempo change shows as
// the new tick length in output frames.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/replay/replay.h"
#include "tests/support/player_support.h"
#include "tools/xmwriter/xm_writer.h"

namespace replay_trace {

inline int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

inline uint8_t hex_byte(const std::string& text)
{
    if (text == "..") return 0;
    return static_cast<uint8_t>(hex_digit(text[0]) * 16 + hex_digit(text[1]));
}

// "C-4" is cell note 49 (C of octave 4, 8363 Hz with the linear table and no finetune).
inline uint8_t parse_note(const std::string& text)
{
    if (text == "---") return 0;
    if (text == "===") return 97;
    static const char* const names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                          "F#", "G-", "G#", "A-", "A#", "B-"};
    for (int i = 0; i < 12; ++i) {
        if (text.compare(0, 2, names[i]) == 0)
            return static_cast<uint8_t>(1 + (text[2] - '0') * 12 + i);
    }
    ADD_FAILURE() << "bad note " << text;
    return 0;
}

inline xmwriter::Cell parse_cell(const std::string& text)
{
    std::istringstream in(text);
    std::string note, instrument, volume, effect;
    in >> note >> instrument >> volume >> effect;
    xmwriter::Cell cell;
    cell.note = parse_note(note);
    cell.instrument = hex_byte(instrument);
    cell.volume = hex_byte(volume);
    if (effect != "...") {
        cell.effect = static_cast<uint8_t>(hex_digit(effect[0]));
        cell.parameter = hex_byte(effect.substr(1));
    }
    return cell;
}

inline xmwriter::Pattern pattern(int channels, const std::vector<std::string>& rows)
{
    xmwriter::Pattern p;
    p.rows = static_cast<int>(rows.size());
    for (int r = 0; r < p.rows; ++r) {
        std::string line = rows[static_cast<size_t>(r)];
        for (int c = 0; c < channels; ++c) {
            const size_t bar = line.find('|');
            p.at(r, c, channels) = parse_cell(line.substr(0, bar));
            line = bar == std::string::npos ? "" : line.substr(bar + 1);
        }
    }
    return p;
}

// One looping sample of 1000 frames at full volume and centre panning.
inline xmwriter::Instrument instrument(uint8_t sample_volume = 64, uint8_t sample_panning = 128)
{
    xmwriter::Instrument ins;
    xmwriter::Sample s;
    s.frames.assign(1000, 0);
    s.loop = xmwriter::SAMPLE_FORWARD;
    s.loop_start = 0;
    s.loop_length = 1000;
    s.volume = sample_volume;
    s.panning = sample_panning;
    ins.samples.push_back(s);
    return ins;
}

inline xmwriter::Module module(int channels, std::vector<xmwriter::Pattern> patterns,
                               std::vector<uint8_t> orders,
                               std::vector<xmwriter::Instrument> instruments = {instrument()})
{
    xmwriter::Module m;
    m.channels = channels;
    m.patterns = std::move(patterns);
    m.orders = std::move(orders);
    m.instruments = std::move(instruments);
    return m;
}

struct VoiceView {
    std::string sample;
    int32_t frequency, volume, panning;
    int gain_left, gain_right;
    uint32_t start_offset;

    bool operator==(const VoiceView&) const = default;
};

inline std::string sample_name(const player::Song* song, const player::Sample* sample)
{
    if (sample == nullptr) return "-";
    if (sample == &player::empty_sample) return "empty";
    for (int i = 0; i < song->instrument_count; ++i) {
        for (int s = 0; s < player::INSTRUMENT_SAMPLES; ++s) {
            if (song->instruments[i].samples[s] == sample) {
                return std::to_string(i + 1) + "." + std::to_string(s);
            }
        }
    }
    return "?";
}

inline VoiceView view(const player::Song* song, const player::Voice& v)
{
    return {sample_name(song, v.sample),
            v.frequency,
            v.volume,
            v.panning,
            v.gain_left,
            v.gain_right,
            v.start_offset};
}

// Runs `ticks` ticks of the module from song_start under `rules` and returns the trace.
inline std::string run(const xmwriter::Module& m, int ticks,
                       player::Rules rules = player::Rules::SHOW)
{
    const std::vector<uint8_t> bytes = xmwriter::write(m);
    player::Song* song = test_support::load_module(bytes, rules);
    if (song == nullptr) {
        ADD_FAILURE() << "module did not load";
        return {};
    }
    std::ostringstream out;
    player::voice_pool_create(44100);
    player::song_start(song);
    player::Voice* pool = player::voice_pool();
    const int channels = song->channel_count;
    int32_t samples_per_tick = song->samples_per_tick;
    std::vector<VoiceView> before;
    for (int c = 0; c < channels; ++c) before.push_back(view(song, pool[c]));
    for (int t = 0; t < ticks; ++t) {
        // voice_play sets the direction forward: clearing it shows which voices were started.
        for (int c = 0; c < channels; ++c) pool[c].direction = 0;
        const int32_t tick = song->tick;
        song->tick_handler(song);
        char head[48];
        std::snprintf(head, sizeof head, "%02d:%02d.%d", static_cast<int>(song->order),
                      static_cast<int>(song->row), static_cast<int>(tick));
        out << head;
        if (song->samples_per_tick != samples_per_tick) {
            samples_per_tick = song->samples_per_tick;
            out << "  frames/tick=" << samples_per_tick;
        }
        for (int c = 0; c < channels; ++c) {
            const player::Voice& v = pool[c];
            const VoiceView now = view(song, v);
            const VoiceView& was = before[static_cast<size_t>(c)];
            const bool played = v.direction == player::DIRECTION_FORWARD;
            std::ostringstream fields;
            if (played)
                fields << " play=" << now.sample << "@" << v.position;
            else if (now.sample != was.sample)
                fields << (now.sample == "-" ? " stop" : " sample=" + now.sample);
            if (now.frequency != was.frequency) fields << " hz=" << now.frequency;
            if (now.volume != was.volume) fields << " vol=" << now.volume;
            if (now.panning != was.panning) fields << " pan=" << now.panning;
            if (now.gain_left != was.gain_left || now.gain_right != was.gain_right) {
                fields << " gain=" << now.gain_left << "/" << now.gain_right;
            }
            if (now.start_offset != was.start_offset) fields << " offset=" << now.start_offset;
            if (!fields.str().empty()) out << "  v" << c << fields.str();
            before[static_cast<size_t>(c)] = now;
        }
        out << "\n";
    }
    player::song_free(song);
    player::voice_pool_destroy();
    return out.str();
}

// Compares with traces/<name>.txt beside the tests; QUORBELA_UPDATE_TRACES=1 rewrites it.
inline void expect_golden(const std::string& name, const std::string& trace)
{
    const std::string path = std::string(QUORBELA_TRACE_DIR) + "/" + name + ".txt";
    if (std::getenv("QUORBELA_UPDATE_TRACES") != nullptr) {
        std::ofstream(path) << trace;
        return;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << "missing golden " << path;
    std::stringstream golden;
    golden << in.rdbuf();
    std::istringstream want(golden.str()), got(trace);
    std::string want_line, got_line;
    for (int line = 1;; ++line) {
        const bool more_want = static_cast<bool>(std::getline(want, want_line));
        const bool more_got = static_cast<bool>(std::getline(got, got_line));
        if (!more_want && !more_got) break;
        ASSERT_EQ(more_want ? want_line : "<end>", more_got ? got_line : "<end>")
            << name << ".txt line " << line;
    }
}

// A golden-trace case: the module to build and how many ticks to trace.
struct TraceCase {
    const char* name;
    xmwriter::Module (*build)();
    int ticks;
};

inline void PrintTo(const TraceCase& c, std::ostream* os)
{
    *os << c.name;
}

}  // namespace replay_trace
