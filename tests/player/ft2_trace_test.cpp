// ft2_trace_test.cpp -- FastTracker 2 reference traces: every module of the folder replayed
// tick by tick and compared with its .data file (period, note, instrument, volume, panning
// and start position of every sounding channel on every tick)
//
// Under FT2's rules every module must agree. Under the show's rules the modules that differ,
// and in which columns, are listed below, so that a change to either rule set shows here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/replay/replay.h"
#include "tests/support/player_support.h"

namespace {

using player::Rules;

// One line of a .data file: one sounding channel on one tick.
struct TraceLine {
    int time, row, frame, channel;
    double period;
    int note, instrument, volume, pan;
    long position;
};

// The lines of one tick, all with the same time, row and frame.
struct TraceTick {
    int time, row, frame;
    std::map<int, TraceLine> channels;
};

std::vector<TraceTick> read_trace(const std::string& path)
{
    std::vector<TraceTick> ticks;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        TraceLine line{};
        if (!(fields >> line.time >> line.row >> line.frame >> line.channel >> line.period >>
              line.note >> line.instrument >> line.volume >> line.pan >> line.position)) {
            continue;
        }
        if (ticks.empty() || ticks.back().time != line.time || ticks.back().row != line.row ||
            ticks.back().frame != line.frame) {
            ticks.push_back({line.time, line.row, line.frame, {}});
        }
        ticks.back().channels[line.channel] = line;
    }
    return ticks;
}

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The trace's units from our channel: the period as the peer scales it (428 at the linear
// period of C-4, times 4096), the volume on 0..1024, the panning centred on 0.
TraceLine our_line(const player::Song* song, const player::Channel& channel,
                   const player::Voice& voice)
{
    TraceLine line{};
    const bool linear = (song->flags & player::FLAG_LINEAR) != 0;
    const int32_t period =
        player::ft2(song) ? channel.final_period : channel.period + channel.period_offset;
    line.period = linear ? 428.0 * std::exp2((period - 4608) / 768.0) * 4096.0 : period * 1024.0;
    line.note = channel.real_note + 12;
    line.instrument = player::ft2(song) ? channel.heard_instrument : channel.instrument;
    const int32_t heard =
        player::ft2(song) ? channel.out_volume : channel.volume + channel.volume_offset;
    const int64_t product =
        static_cast<int64_t>(heard) * channel.venv_value * channel.fadeout * song->global_volume;
    line.volume = static_cast<int>(product >> 24);
    line.pan = (player::ft2(song) ? player::ft2_final_panning(&channel)
                                  : channel.panning + (128 - std::abs(channel.panning - 128)) / 32 *
                                                          (channel.penv_value - 32)) -
               128;
    line.position = static_cast<long>(voice.position);
    return line;
}

// Columns in which a module's replay differs from its trace, with the first difference of
// each for the failure message.
struct Comparison {
    std::set<std::string> columns;
    std::map<std::string, std::string> first;

    void differ(const std::string& column, const std::string& where)
    {
        if (columns.insert(column).second) first[column] = where;
    }
    std::string describe() const
    {
        std::string text;
        for (const auto& [column, where] : first) text += "\n  " + column + ": " + where;
        return text;
    }
};

std::string joined(const std::set<std::string>& columns)
{
    std::string text;
    for (const std::string& c : columns) text += (text.empty() ? "" : " ") + c;
    return text;
}

Comparison compare_module(const std::string& folder, const std::string& name, Rules rules)
{
    Comparison result;
    const std::vector<TraceTick> trace = read_trace(folder + "/" + name + ".data");
    const std::vector<uint8_t> bytes = read_bytes(folder + "/" + name + ".xm");
    player::Song* song = test_support::load_module(bytes, rules);
    if (song == nullptr) {
        result.differ("load", "refused");
        return result;
    }
    player::voice_pool_create(44100);
    player::song_start(song);
    player::Voice* pool = player::voice_pool();
    std::vector<float> mix;
    // The trace's clock restarts at some order changes and not at others: either counts.
    double time_ms = 0, order_time_ms = 0;
    int32_t order = -1;
    size_t next = 0;
    const size_t tick_limit = trace.size() * 4 + 2000;
    for (size_t tick = 0; tick < tick_limit && next < trace.size(); ++tick) {
        for (int c = 0; c < song->channel_count; ++c) pool[c].direction = 0;
        const int frame = song->tick;
        song->tick_handler(song);
        if (song->order != order) {
            order = song->order;
            order_time_ms = 0;
        }
        time_ms += 2500.0 / song->bpm;
        order_time_ms += 2500.0 / song->bpm;
        const int row = song->row;
        char where[96];
        std::snprintf(where, sizeof where, "order %d row %d frame %d", order, row, frame);

        std::map<int, TraceLine> ours;
        for (int c = 0; c < song->channel_count; ++c) {
            const player::Voice& voice = pool[c];
            if (voice.sample == nullptr || voice.sample->length == 0) continue;
            ours[c] = our_line(song, song->channels[c], voice);
        }
        const TraceTick& want = trace[next];
        const bool aligned = want.row == row && want.frame == frame &&
                             (std::abs(want.time - static_cast<int>(time_ms)) <= 2 ||
                              std::abs(want.time - static_cast<int>(order_time_ms)) <= 2);
        if (aligned) ++next;
        const std::map<int, TraceLine> none;
        const std::map<int, TraceLine>& wanted = aligned ? want.channels : none;
        for (int c = 0; c < song->channel_count; ++c) {
            const auto got = ours.find(c);
            const auto expected = wanted.find(c);
            const std::string at = std::string(where) + " channel " + std::to_string(c);
            if ((got == ours.end()) != (expected == wanted.end())) {
                result.differ("sounding", at + (got == ours.end() ? ": silent, trace sounds"
                                                                  : ": sounds, trace silent"));
                continue;
            }
            if (got == ours.end()) continue;
            const TraceLine& a = got->second;
            const TraceLine& b = expected->second;
            const auto show = [&](double x, double y) {
                std::ostringstream text;
                text << at << ": " << x << " want " << y;
                return text.str();
            };
            if (std::abs(a.period - b.period) > 0.003 * b.period + 1)
                result.differ("period", show(a.period, b.period));
            if (a.note != b.note) result.differ("note", show(a.note, b.note));
            if (a.instrument != b.instrument)
                result.differ("instrument", show(a.instrument, b.instrument));
            if (std::abs(a.volume - b.volume) > 16)
                result.differ("volume", show(a.volume, b.volume));
            if (std::abs(a.pan - b.pan) > 4) result.differ("pan", show(a.pan, b.pan));
            const bool started = pool[c].direction == player::DIRECTION_FORWARD;
            if (started && std::abs(a.position - b.position) > 1)
                result.differ("position", show(a.position, b.position));
        }
        const int32_t frames = song->samples_per_tick;
        mix.assign(static_cast<size_t>(frames) * 2, 0.0f);
        player::mix_voices(mix.data(), player::active_voices(), frames);
    }
    if (next < trace.size()) {
        result.differ("rows", "trace tick " + std::to_string(next) + " (row " +
                                  std::to_string(trace[next].row) + " frame " +
                                  std::to_string(trace[next].frame) + ") never reached");
    }
    player::song_free(song);
    player::voice_pool_destroy();
    return result;
}

std::vector<std::string> trace_modules()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FT2_TRACE_DIR, error)) {
        if (entry.path().extension() != ".data") continue;
        if (!std::filesystem::exists(std::filesystem::path(entry.path()).replace_extension(".xm")))
            continue;
        names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Ft2TraceTest, EveryModuleAgreesUnderFt2Rules)
{
    const std::vector<std::string> names = trace_modules();
    if (names.empty()) GTEST_SKIP() << "no FT2 reference traces in " << FT2_TRACE_DIR;
    for (const std::string& name : names) {
        const Comparison result = compare_module(FT2_TRACE_DIR, name, Rules::FT2);
        EXPECT_TRUE(result.columns.empty())
            << name << " differs in " << joined(result.columns) << result.describe();
    }
}

// Where the show's engine parts from FT2 on these modules: each module that differs, with its
// differing columns. A module missing here agrees. FT2_TRACE_TABLE=1 prints the table as it
// stands, to paste here after a change on purpose.
const std::map<std::string, std::string> SHOW_DIFFERENCES = {
    {"ft2_delay_defaults", "pan position volume"},
    {"ft2_delay_envelope_off", "instrument pan position volume"},
    {"ft2_delay_envelope_on", "position volume"},
    {"ft2_delay_envelope_sustain", "position volume"},
    {"ft2_delay_note_memory", "instrument note pan position sounding volume"},
    {"ft2_delay_volume_column", "instrument pan position volume"},
    {"ft2_double_toneporta", "note period"},
    {"ft2_envelope_invalid_ins", "instrument volume"},
    {"ft2_envelope_reset", "instrument volume"},
    {"ft2_instrument_fade_update", "instrument position volume"},
    {"ft2_instrument_memory_default", "sounding"},
    {"ft2_invalid_ins_defaults", "pan volume"},
    {"ft2_invalid_porta_target", "note period"},
    {"ft2_k00_defaults", "note period position volume"},
    {"ft2_k00_is_note_off", "note period position volume"},
    {"ft2_kxx", "position volume"},
    {"ft2_no_note_ins_envelope", "instrument note pan period position volume"},
    {"ft2_note_no_fadeout_reset", "volume"},
    {"ft2_note_off_after_invalid_ins", "instrument pan volume"},
    {"ft2_note_off_fade", "position volume"},
    {"ft2_note_off_sustain", "position volume"},
    {"ft2_note_range", "instrument note pan period position volume"},
    {"ft2_note_range_instrument_fade", "instrument note period position volume"},
    {"ft2_offset_memory", "note period position sounding volume"},
    {"ft2_tremor_delay", "instrument position volume"},
    {"ft2_tremor_reset", "instrument position volume"},
    {"lxx_after_loop", "volume"},
    {"read_event_ft2", "instrument note pan volume"},
    {"xm_no_cxx_dxx_memory", "volume"},
    {"xm_portamento_envelope_reset", "note"},
};

TEST(Ft2TraceTest, ShowRulesDifferWhereListed)
{
    const std::vector<std::string> names = trace_modules();
    if (names.empty()) GTEST_SKIP() << "no FT2 reference traces in " << FT2_TRACE_DIR;
    for (const std::string& name : names) {
        const Comparison result = compare_module(FT2_TRACE_DIR, name, Rules::SHOW);
        if (std::getenv("FT2_TRACE_TABLE") != nullptr)
            std::printf("    {\"%s\", \"%s\"},\n", name.c_str(), joined(result.columns).c_str());
        const auto listed = SHOW_DIFFERENCES.find(name);
        EXPECT_EQ(joined(result.columns), listed != SHOW_DIFFERENCES.end() ? listed->second : "")
            << name << " under the show's rules" << result.describe();
    }
}

}  // namespace
