// module_test.cpp -- the song: its shape, what of the player it uses, and its timing with the show
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "assets/assets.h"
#include "player/stream.h"
#include "player/xm.h"

namespace {

uint32_t le(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

struct RawSample {
    uint32_t length_bytes;
    uint8_t type;
};

struct RawInstrument {
    std::vector<RawSample> samples;
    const uint8_t* header;  // null without samples
};

// The module walked independently of the loader: every pattern cell and instrument header.
struct RawModule {
    uint32_t end = 0;                                           // where the last block ends
    std::vector<std::vector<std::array<uint8_t, 5>>> patterns;  // cells, row by row
    std::vector<RawInstrument> instruments;
    std::vector<uint8_t> orders;
    int channels = 0;
};

RawModule walk(const uint8_t* m)
{
    RawModule r;
    const uint32_t header_size = le(m + 60, 4);
    const uint32_t song_length = le(m + 64, 2);
    r.channels = static_cast<int>(le(m + 68, 2));
    const uint32_t patterns = le(m + 70, 2), instruments = le(m + 72, 2);
    r.orders.assign(m + 80, m + 80 + song_length);
    uint32_t at = 60 + header_size;
    for (uint32_t p = 0; p < patterns; ++p) {
        const uint32_t rows = le(m + at + 5, 2), packed = le(m + at + 7, 2);
        at += le(m + at, 4);
        std::vector<std::array<uint8_t, 5>> cells;
        const uint32_t stop = at + packed;
        while (at < stop) {
            std::array<uint8_t, 5> c{};
            const uint8_t b = m[at++];
            if (b & 0x80) {
                for (int k = 0; k < 5; ++k)
                    if (b & (1 << k)) c[static_cast<size_t>(k)] = m[at++];
            } else {
                c[0] = b;
                for (int k = 1; k < 5; ++k) c[static_cast<size_t>(k)] = m[at++];
            }
            cells.push_back(c);
        }
        EXPECT_EQ(cells.size(), rows * static_cast<uint32_t>(r.channels)) << "pattern " << p;
        r.patterns.push_back(cells);
    }
    for (uint32_t i = 0; i < instruments; ++i) {
        RawInstrument ins{{}, nullptr};
        const uint32_t size = le(m + at, 4), count = le(m + at + 27, 2);
        if (count > 0) ins.header = m + at;
        at += size;
        for (uint32_t s = 0; s < count; ++s, at += 40)
            ins.samples.push_back({le(m + at, 4), m[at + 14]});
        for (const RawSample& s : ins.samples) at += s.length_bytes;
        r.instruments.push_back(ins);
    }
    r.end = at;
    return r;
}

const RawModule& song()
{
    static const RawModule raw = walk(assets::module_xm);
    return raw;
}

const std::array<uint8_t, 5>& cell(int order, int row, int channel)
{
    const RawModule& r = song();
    return r.patterns[r.orders[static_cast<size_t>(order)]]
                     [static_cast<size_t>(row * r.channels + channel)];
}

TEST(ModuleTest, BlocksEndExactlyAtTheLastByte)
{
    EXPECT_EQ(song().end, assets::MODULE_SIZE);
    EXPECT_EQ(song().patterns.size(), 17u);
    EXPECT_EQ(song().instruments.size(), 27u);
    EXPECT_EQ(song().orders.size(), 19u);
}

// The loader reads through this wrapper so the test sees how far it got.
int32_t furthest_read = 0;
int32_t tracking_read(void* destination, int32_t length, uint32_t token)
{
    const int32_t got = player::mem_read(destination, length, token);
    furthest_read = std::max(furthest_read, player::mem_tell(token));
    return got;
}

TEST(ModuleTest, LoaderReadsItToTheLastByteWithTheShowsShape)
{
    player::mem_register(assets::module_xm, assets::MODULE_SIZE);
    player::stream_set_callbacks(player::mem_open, player::mem_close, tracking_read,
                                 player::mem_seek, player::mem_tell);
    furthest_read = 0;
    player::Song* s = player::song_load("quorbela.xm", nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(furthest_read, static_cast<int32_t>(assets::MODULE_SIZE));
    EXPECT_EQ(s->channel_count, 12);
    EXPECT_EQ(s->song_length, 19);
    EXPECT_EQ(s->pattern_slots, 17);
    EXPECT_EQ(s->instrument_count, 27);
    EXPECT_EQ(s->default_speed, 6);
    EXPECT_EQ(s->default_bpm, 118);
    EXPECT_EQ(s->flags & player::FLAG_LINEAR, player::FLAG_LINEAR);
    EXPECT_GT(s->restart_position, 0);
    EXPECT_LT(s->restart_position, s->song_length);
    for (int p = 0; p < s->pattern_slots; ++p) EXPECT_EQ(s->patterns[p].rows, 64) << p;
    for (int i = 0; i < s->instrument_count; ++i) {
        const player::Instrument& ins = s->instruments[i];
        ASSERT_GT(ins.sample_count, 0) << i;
        for (int k = 0; k < ins.sample_count; ++k) {
            const player::Sample* smp = ins.samples[k];
            EXPECT_GT(smp->length, 0u) << i;
            EXPECT_LE(smp->loop_start + smp->loop_length, smp->length) << i;
        }
    }
    player::song_free(s);
}

TEST(ModuleTest, InstrumentsUseWhatThePlayerCanDo)
{
    bool eight = false, sixteen = false, no_loop = false, forward = false, pingpong = false;
    bool sustain = false, env_loop = false, panning_env = false, fadeout = false, vibrato = false,
         multi = false;
    for (const RawInstrument& ins : song().instruments) {
        for (const RawSample& s : ins.samples) {
            (s.type & player::SAMPLE_TYPE_SIXTEEN_BIT ? sixteen : eight) = true;
            const uint8_t loop = s.type & player::SAMPLE_TYPE_LOOP_BITS;
            if (loop == 0) no_loop = true;
            if (loop == player::SAMPLE_TYPE_FORWARD_LOOP) forward = true;
            if (loop == player::SAMPLE_TYPE_PINGPONG_LOOP) pingpong = true;
        }
        const uint8_t* h = ins.header;
        ASSERT_NE(h, nullptr);
        const uint8_t volume_type = h[233], panning_type = h[234];
        if (volume_type & player::ENVELOPE_ON) {
            sustain |= (volume_type & player::ENVELOPE_SUSTAIN) != 0;
            env_loop |= (volume_type & player::ENVELOPE_LOOP) != 0;
        }
        panning_env |= (panning_type & player::ENVELOPE_ON) != 0;
        fadeout |= le(h + 239, 2) != 0;
        vibrato |= h[237] != 0;
        std::set<uint8_t> mapped(h + 33, h + 33 + 96);
        multi |= ins.samples.size() > 1 && mapped.size() > 1;
    }
    EXPECT_TRUE(eight && sixteen);
    EXPECT_TRUE(no_loop && forward && pingpong);
    EXPECT_TRUE(sustain && env_loop && panning_env && fadeout && vibrato && multi);
}

TEST(ModuleTest, TheMultiSampleInstrumentIsPlayedAcrossItsSamples)
{
    for (size_t i = 0; i < song().instruments.size(); ++i) {
        const RawInstrument& ins = song().instruments[i];
        if (ins.samples.size() < 2) continue;
        std::set<uint8_t> reached;
        for (const auto& pattern : song().patterns)
            for (const auto& c : pattern)
                if (c[1] == i + 1 && c[0] >= 1 && c[0] <= 96)
                    reached.insert(ins.header[33 + c[0] - 1]);
        EXPECT_EQ(reached.size(), ins.samples.size()) << "instrument " << i + 1;
    }
}

TEST(ModuleTest, PatternsUseEveryInstrumentChannelAndTheEffectSet)
{
    std::set<int> instruments, channels, effects, volume_kinds;
    bool key_off = false;
    for (const auto& pattern : song().patterns)
        for (size_t k = 0; k < pattern.size(); ++k) {
            const auto& c = pattern[k];
            if (c[0] == 97) key_off = true;
            if (c[0] && c[0] < 97) channels.insert(static_cast<int>(k % 12));
            if (c[1]) instruments.insert(c[1]);
            if (c[2]) volume_kinds.insert(c[2] >> 4);
            if (c[3] == 0 && c[4]) effects.insert(0);
            if (c[3] == 0xE)
                effects.insert(0xE0 | c[4] >> 4);
            else if (c[3])
                effects.insert(c[3]);
        }
    EXPECT_EQ(instruments.size(), 27u);
    EXPECT_EQ(channels.size(), 12u);
    EXPECT_TRUE(key_off);
    // Arpeggio, portamentos, tone portamento, vibrato, volume slide, panning, sample offset,
    // set volume, pattern break, speed and tempo, global volume and its slide, key off,
    // panning slide, multi retrigger; then note cut, note delay, retrigger, pattern loop.
    for (int fx :
         {0, 1, 2, 3, 4, 0xA, 8, 9, 0xC, 0xD, 0xF, 16, 17, 20, 25, 27, 0xEC, 0xED, 0xE9, 0xE6})
        EXPECT_TRUE(effects.count(fx)) << "effect " << fx;
    // Set volume, volume slides down and up in the volume column.
    for (int kind : {1, 6, 7}) EXPECT_TRUE(volume_kinds.count(kind)) << "volume column " << kind;
}

int notes_on_row(int order, int row)
{
    int n = 0;
    for (int ch = 0; ch < 12; ++ch)
        n += cell(order, row, ch)[0] > 0 && cell(order, row, ch)[0] < 97;
    return n;
}

TEST(ModuleTest, HitsFallWhereTheCrystalFlashesAndPulses)
{
    for (int row : {4, 20, 36, 44, 52, 55, 57, 60, 62, 63})
        EXPECT_GE(notes_on_row(4, row), 2) << "order 4 row " << row;
    for (int order : {5, 6, 7})
        for (int row : {0, 29, 32}) EXPECT_GE(notes_on_row(order, row), 3) << order << ":" << row;
}

TEST(ModuleTest, StabsFallWhereTheStrobePicturesSwap)
{
    for (int order = 14; order <= 17; ++order)
        for (int row : {4, 9, 12, 20, 25, 28, 36, 39, 41, 44, 57, 60, 62, 63}) {
            bool stab = false;
            for (int ch = 0; ch < 12; ++ch) stab |= cell(order, row, ch)[1] == 16;
            EXPECT_TRUE(stab) << order << ":" << row;
        }
}

TEST(ModuleTest, SectionsChangeWithTheScenes)
{
    // Each scene opens on a pattern of its own, not on a continuation of the one before.
    for (int order : {5, 7, 8, 9, 11, 14, 18})
        EXPECT_NE(song().orders[static_cast<size_t>(order)],
                  song().orders[static_cast<size_t>(order - 1)])
            << order;
}

}  // namespace
