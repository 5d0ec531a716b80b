// xm_test.cpp -- the XM loader: header, patterns, instruments, sample decoding, bad input

#include "player/xm.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "player/replay/effects.h"
#include "player/stream.h"
#include "tests/player/module_fixtures.h"
#include "tests/support/player_support.h"

namespace {

using namespace player;
using fixtures::put_u16;
using fixtures::put_u32;

struct SongDeleter {
    void operator()(Song* song) const { song_free(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

SongPtr load(const std::vector<uint8_t>& bytes)
{
    return SongPtr(test_support::load_module(bytes));
}

SongPtr load(const xmwriter::Module& module)
{
    return load(xmwriter::write(module));
}

// Where the first instrument block starts in the written module.
size_t instruments_at(xmwriter::Module module)
{
    module.instruments.clear();
    return xmwriter::write(module).size();
}

const Sample* only_sample(const Song& song)
{
    return song.instruments[0].samples[0];
}

TEST(XmTest, ReadsTheModuleHeader)
{
    xmwriter::Module m = fixtures::rich_module();
    m.flags = FLAG_LINEAR;
    m.speed = 5;
    m.bpm = 140;
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->song_length, 4);
    EXPECT_EQ(song->restart_position, 1);
    EXPECT_EQ(song->channel_count, 4);
    EXPECT_EQ(song->instrument_count, 3);
    EXPECT_EQ(song->flags, FLAG_LINEAR);
    EXPECT_EQ(song->default_speed, 5);
    EXPECT_EQ(song->default_bpm, 140);
    EXPECT_EQ(song->order_table[2], 2);
    EXPECT_EQ(song->patterns_used, 3);
    EXPECT_EQ(song->pattern_slots, 3);
    EXPECT_EQ(song->initial_global_volume, 64);
    EXPECT_NE(song->tick_handler, nullptr);
    EXPECT_EQ(song->next, song.get());
    EXPECT_EQ(song->prev, song.get());
    EXPECT_EQ(song->playing, 0);
    EXPECT_EQ(song->channels, nullptr);
}

TEST(XmTest, RefusesABadSignatureAndAMissingStream)
{
    std::vector<uint8_t> bytes = xmwriter::write(fixtures::rich_module());
    bytes[9] = 'm';
    EXPECT_EQ(load(bytes), nullptr);
    EXPECT_EQ(load(std::vector<uint8_t>{}), nullptr);
    stream_set_callbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(song_load("test.xm", nullptr), nullptr);
}

TEST(XmTest, OrdersNamingMissingPatternsGetEmptySixtyFourRowSlots)
{
    xmwriter::Module m;
    m.channels = 3;
    m.patterns.resize(17);
    for (auto& p : m.patterns) p.rows = 8;
    m.orders = {0, 20, 5};
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->patterns_used, 21);
    EXPECT_EQ(song->pattern_slots, 21);
    for (int p = 17; p < 21; ++p) {
        ASSERT_EQ(song->patterns[p].rows, 64);
        for (int k = 0; k < 64 * 3; ++k) EXPECT_EQ(song->patterns[p].cells[k].note, 0);
    }
    EXPECT_EQ(song->patterns[16].rows, 8);
}

TEST(XmTest, OrdersBeyondTheSongLengthDoNotCount)
{
    xmwriter::Module m;
    m.patterns.resize(2);
    m.orders = {1, 0, 9};
    std::vector<uint8_t> bytes = xmwriter::write(m);
    put_u16(bytes, fixtures::SONG_LENGTH_AT, 2);
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->patterns_used, 2);
    EXPECT_EQ(song->pattern_slots, 2);
}

TEST(XmTest, UnpacksPackedAndWholeCells)
{
    xmwriter::Module m;
    m.channels = 2;
    m.orders = {0};
    xmwriter::Pattern p;
    p.rows = 3;
    p.at(0, 0, 2) = {12, 3, 0x40, EFFECT_SET_VOLUME, 0x20};  // stored whole: 5 bytes
    p.at(0, 1, 2) = {0, 0, 0, 0x0F, 0};                      // mask and one byte
    p.at(1, 1, 2) = {97, 0, 0, 0, 0};                        // key off
    p.at(2, 0, 2) = {5, 200, 1, 2, 3};                       // instrument above 128
    m.patterns.push_back(p);
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    const Cell* c = song->patterns[0].cells;
    EXPECT_EQ(song->patterns[0].rows, 3);
    EXPECT_EQ(c[0].note, 12);
    EXPECT_EQ(c[0].instrument, 3);
    EXPECT_EQ(c[0].volume, 0x40);
    EXPECT_EQ(c[0].effect, 0x0C);
    EXPECT_EQ(c[0].parameter, 0x20);
    EXPECT_EQ(c[1].effect, 0x0F);
    EXPECT_EQ(c[1].note, 0);
    EXPECT_EQ(c[3].note, NOTE_KEY_OFF);
    EXPECT_EQ(c[4].note, 5);
    EXPECT_EQ(c[4].instrument, 0);
    EXPECT_EQ(c[4].parameter, 3);
    EXPECT_EQ(c[5].note, 0);  // 0x80: an empty cell of one byte
}

// Puts a hand-made pattern block in front of the written patterns.
std::vector<uint8_t> with_raw_pattern(xmwriter::Module m, const std::vector<uint8_t>& block)
{
    std::vector<uint8_t> bytes = xmwriter::write(m);
    bytes.insert(bytes.begin() + fixtures::FIRST_PATTERN_AT, block.begin(), block.end());
    put_u16(bytes, fixtures::PATTERN_COUNT_AT, static_cast<uint32_t>(m.patterns.size() + 1));
    return bytes;
}

TEST(XmTest, PatternWithPackedSizeZeroIsEmptyWithItsRowCount)
{
    xmwriter::Module m;
    m.channels = 2;
    m.orders = {0, 1};
    xmwriter::Pattern p;
    p.rows = 2;
    p.at(1, 1, 2).note = 40;
    m.patterns.push_back(p);
    // 9-byte header: length, packing, 10 rows, packed size 0 -- and the next header follows.
    SongPtr song = load(with_raw_pattern(m, {9, 0, 0, 0, 0, 10, 0, 0, 0}));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->patterns[0].rows, 10);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(song->patterns[0].cells[k].note, 0);
    EXPECT_EQ(song->patterns[1].rows, 2);
    EXPECT_EQ(song->patterns[1].cells[3].note, 40);
}

TEST(XmTest, PatternOfZeroRowsHasNoCells)
{
    xmwriter::Module m;
    m.orders = {0};
    SongPtr song = load(with_raw_pattern(m, {9, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->patterns[0].rows, 0);
    EXPECT_EQ(song->patterns[0].cells, nullptr);
}

TEST(XmTest, ReadsInstrumentFieldsAndForcesShortEnvelopesOff)
{
    xmwriter::Module m = fixtures::rich_module();
    m.instruments[1].fadeout = 0x9001;           // doubled in 16 bits
    m.instruments[2].volume.points = {{0, 64}};  // one point: off whatever the type says
    m.instruments[2].volume.type = ENVELOPE_ON;
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    const Instrument& single = song->instruments[1];
    EXPECT_EQ(single.sample_count, 1);
    EXPECT_EQ(single.fadeout, 0x2002);
    EXPECT_EQ(single.volume_points, 3);
    EXPECT_EQ(single.volume_type, ENVELOPE_ON | ENVELOPE_SUSTAIN);
    EXPECT_EQ(single.volume_sustain, 1);
    EXPECT_EQ(single.volume_envelope[1].tick, 10);
    EXPECT_EQ(single.volume_envelope[1].value, 32);
    const Instrument& triple = song->instruments[2];
    EXPECT_EQ(triple.volume_type, 0);
    EXPECT_EQ(triple.panning_points, 4);
    EXPECT_EQ(triple.panning_type, ENVELOPE_ON | ENVELOPE_LOOP);
    EXPECT_EQ(triple.panning_loop_end, 2);
    EXPECT_EQ(triple.panning_envelope[3].tick, 30);
    EXPECT_EQ(triple.note_sample[4], 1);
    EXPECT_EQ(triple.vibrato_type, 1);
    EXPECT_EQ(triple.vibrato_depth, 4);
    EXPECT_EQ(triple.vibrato_rate, 8);
    for (int k = 3; k < 16; ++k) EXPECT_EQ(triple.samples[k], &empty_sample);
}

TEST(XmTest, InstrumentWithoutSamplesSkipsToItsDeclaredEnd)
{
    xmwriter::Module m = fixtures::rich_module();
    std::vector<uint8_t> bytes = xmwriter::write(m);
    const size_t at = instruments_at(m);
    // Ten bytes of junk inside the first (sample-less) instrument's declared header.
    put_u32(bytes, at, 29 + 10);
    bytes.insert(bytes.begin() + static_cast<long>(at + 29), 10, 0xFF);
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    const Instrument& empty = song->instruments[0];
    EXPECT_EQ(empty.sample_count, 0);
    for (Sample* s : empty.samples) EXPECT_EQ(s, &empty_sample);
    EXPECT_EQ(empty.fadeout, 0);
    EXPECT_EQ(song->instruments[1].sample_count, 1);
    EXPECT_EQ(song->instruments[1].samples[0]->length, 300u);
}

// Trackers after FT2 store up to 32 samples an instrument, as the peers load them; a larger
// count is damage and leaves that instrument without samples.
TEST(XmTest, InstrumentsKeepUpToThirtyTwoSamples)
{
    xmwriter::Module m = fixtures::rich_module();
    xmwriter::Instrument wide;
    for (int k = 0; k < 20; ++k) {
        wide.samples.push_back(fixtures::make_sample(10 + static_cast<size_t>(k), k % 2 == 0,
                                                     xmwriter::SAMPLE_NO_LOOP, 0, 0));
    }
    wide.note_sample.fill(19);
    m.instruments.insert(m.instruments.begin() + 1, wide);
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->instrument_count, 4);
    const Instrument& loaded = song->instruments[1];
    ASSERT_EQ(loaded.sample_count, 20);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(loaded.samples[k]->length, 10u + static_cast<uint32_t>(k)) << k;
    EXPECT_EQ(loaded.samples[20], &empty_sample);
    EXPECT_EQ(loaded.note_sample[48], 19);
    // The instruments behind it are read from where its data ends.
    EXPECT_EQ(song->instruments[2].samples[0]->length, 300u);
    EXPECT_EQ(song->instruments[3].sample_count, 3);

    std::vector<uint8_t> bytes = xmwriter::write(fixtures::rich_module());
    put_u16(bytes, instruments_at(fixtures::rich_module()) + 29 + 27, 33);
    SongPtr damaged = load(bytes);
    ASSERT_NE(damaged, nullptr);
    EXPECT_EQ(damaged->instruments[1].sample_count, 0);
}

// A pattern header longer than its nine bytes has more after the fields; the cells follow it
// (a writer adding fields there is read like any other).
TEST(XmTest, PatternHeaderLengthIsHonoured)
{
    xmwriter::Module usual = fixtures::rich_module();
    xmwriter::Module longer = usual;
    longer.pattern_header = 272;
    SongPtr a = load(usual);
    SongPtr b = load(longer);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (int p = 0; p < 3; ++p) {
        ASSERT_EQ(a->patterns[p].rows, b->patterns[p].rows);
        const size_t cells = static_cast<size_t>(a->patterns[p].rows) * 4;
        EXPECT_EQ(std::memcmp(a->patterns[p].cells, b->patterns[p].cells, cells * sizeof(Cell)), 0)
            << p;
    }
    EXPECT_EQ(b->instruments[1].samples[0]->length, 300u);
}

// The next pattern header lies packed-size bytes after the data, whatever the cells used.
TEST(XmTest, PackedSizeFindsTheNextPattern)
{
    xmwriter::Module m = fixtures::rich_module();
    std::vector<uint8_t> bytes = xmwriter::write(m);
    // Pattern 0's header starts after the module header; two spare bytes go after its cells.
    const size_t header = 60 + fixtures::get_u32(bytes, 60);
    const size_t packed_at = header + 7;
    const uint32_t packed = bytes[packed_at] | (bytes[packed_at + 1] << 8);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(header + 9 + packed), {0x80, 0x80});
    put_u16(bytes, packed_at, packed + 2);
    SongPtr a = load(m);
    SongPtr b = load(bytes);
    ASSERT_NE(b, nullptr);
    const size_t cells = static_cast<size_t>(a->patterns[1].rows) * 4;
    EXPECT_EQ(std::memcmp(a->patterns[1].cells, b->patterns[1].cells, cells * sizeof(Cell)), 0);
    EXPECT_EQ(b->instruments[2].sample_count, 3);
}

// Header tempos outside FT2's ranges (speed 1..31, BPM 32..255) are brought inside; a fuzzed
// BPM of 25954 would otherwise make a song's ticks far too short to play out.
TEST(XmTest, HeaderTempoIsBroughtIntoRange)
{
    struct Case {
        uint16_t speed, bpm;
        int16_t want_speed, want_bpm;
    };
    for (const Case c : {Case{0, 25954, 1, 255}, Case{40, 10, 31, 32}, Case{31, 255, 31, 255},
                         Case{1, 32, 1, 32}, Case{6, 0, 6, 32}}) {
        xmwriter::Module m = fixtures::rich_module();
        m.speed = c.speed;
        m.bpm = c.bpm;
        SongPtr song = load(m);
        ASSERT_NE(song, nullptr);
        EXPECT_EQ(song->default_speed, c.want_speed) << c.speed;
        EXPECT_EQ(song->default_bpm, c.want_bpm) << c.bpm;
    }
}

TEST(XmTest, EightBitDeltasBecomeHighBytes)
{
    xmwriter::Sample s;
    s.frames = {1, 2, 3, -128, 127};
    SongPtr song = load(fixtures::sample_module(s));
    ASSERT_NE(song, nullptr);
    const Sample* sample = only_sample(*song);
    EXPECT_EQ(sample->bits, 16);
    ASSERT_EQ(sample->length, 5u);
    EXPECT_EQ(sample->data[0], 0x0100);
    EXPECT_EQ(sample->data[1], 0x0200);
    EXPECT_EQ(sample->data[2], 0x0300);
    EXPECT_EQ(sample->data[3], -32768);
    EXPECT_EQ(sample->data[4], 0x7F00);
}

TEST(XmTest, SixteenBitSamplesCountFramesAndDecodeDeltas)
{
    xmwriter::Sample s = fixtures::make_sample(500, true, xmwriter::SAMPLE_FORWARD, 100, 300);
    SongPtr song = load(fixtures::sample_module(s));
    ASSERT_NE(song, nullptr);
    const Sample* sample = only_sample(*song);
    EXPECT_EQ(sample->length, 500u);  // 1000 bytes in the file
    EXPECT_EQ(sample->loop_start, 100u);
    EXPECT_EQ(sample->loop_length, 300u);
    EXPECT_EQ(sample->loop_kind, LOOP_FORWARD);
    for (uint32_t i = 0; i < 400; ++i) ASSERT_EQ(sample->data[i], s.frames[i]) << i;
    EXPECT_EQ(sample->data[400], s.frames[100]);  // fixed up: the loop start follows the loop end
    EXPECT_EQ(sample->loop_saved, s.frames[400]);
    for (uint32_t i = 401; i < 500; ++i) ASSERT_EQ(sample->data[i], s.frames[i]) << i;
    for (uint32_t i = 500; i < 508; ++i) EXPECT_EQ(sample->data[i], 0);
}

struct LoopCase {
    const char* name;
    uint8_t type;  // the file's loop bits
    uint32_t frames, loop_start, loop_length;
    uint8_t kind;
    uint32_t start, length;  // as loaded
};

class XmLoopTest : public ::testing::TestWithParam<LoopCase> {};

constexpr uint8_t NO_LOOP = xmwriter::SAMPLE_NO_LOOP;
constexpr uint8_t FORWARD = xmwriter::SAMPLE_FORWARD;
constexpr uint8_t PINGPONG = xmwriter::SAMPLE_PINGPONG;
constexpr uint8_t BOTH = FORWARD | PINGPONG;

TEST_P(XmLoopTest, LoopPointsAndFixUp)
{
    const LoopCase c = GetParam();
    xmwriter::Sample s =
        fixtures::make_sample(c.frames, false, c.type, c.loop_start, c.loop_length);
    SongPtr song = load(fixtures::sample_module(s));
    ASSERT_NE(song, nullptr);
    const Sample* sample = only_sample(*song);
    EXPECT_EQ(sample->loop_kind, c.kind);
    EXPECT_EQ(sample->loop_start, c.start);
    EXPECT_EQ(sample->loop_length, c.length);
    const uint32_t end = c.start + c.length;
    ASSERT_LE(end, sample->length);
    const int16_t expected =
        c.kind == LOOP_PINGPONG ? sample->data[end - 1] : sample->data[c.start];
    EXPECT_EQ(sample->data[end], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, XmLoopTest,
    ::testing::Values(
        LoopCase{"NoLoop", NO_LOOP, 40, 5, 10, LOOP_NONE, 0, 40},
        LoopCase{"Forward", FORWARD, 40, 5, 10, LOOP_FORWARD, 5, 10},
        LoopCase{"PingPong", PINGPONG, 40, 5, 10, LOOP_PINGPONG, 5, 10},
        LoopCase{"BothBitsPingPongWins", BOTH, 40, 5, 10, LOOP_PINGPONG, 5, 10},
        LoopCase{"EmptyLoopDoesNotLoop", FORWARD, 40, 5, 0, LOOP_NONE, 0, 40},
        LoopCase{"LoopToTheEnd", FORWARD, 40, 30, 10, LOOP_FORWARD, 30, 10},
        LoopCase{"LoopPastTheEndIsCutBack", FORWARD, 40, 30, 25, LOOP_FORWARD, 30, 10},
        LoopCase{"PingPongPastTheEndIsCutBack", PINGPONG, 40, 0, 1000, LOOP_PINGPONG, 0, 40},
        LoopCase{"LoopStartingAtTheEndDoesNotLoop", FORWARD, 40, 40, 5, LOOP_NONE, 0, 40},
        LoopCase{"LoopStartingBeyondDoesNotLoop", PINGPONG, 40, 4000000000u, 5, LOOP_NONE, 0, 40},
        LoopCase{"OverflowingLoopEnd", FORWARD, 40, 8, 0xFFFFFFFFu, LOOP_FORWARD, 8, 32}),
    [](const ::testing::TestParamInfo<LoopCase>& param_info) { return param_info.param.name; });

TEST(XmTest, SampleReaderSuppliesPlainDataAndTheStreamSkipsIt)
{
    static std::vector<int> calls;
    calls.clear();
    xmwriter::Module m = fixtures::rich_module();
    std::vector<uint8_t> bytes = xmwriter::write(m);
    test_support::load_module({});  // installs the callbacks
    player::mem_register(bytes.data(), static_cast<uint32_t>(bytes.size()));
    SongPtr song(song_load("x.xm", [](void* destination, int32_t byte_count, int32_t bits,
                                      int32_t instrument, int32_t sample) {
        calls.insert(calls.end(), {byte_count, bits, instrument, sample});
        auto* bytes_out = static_cast<uint8_t*>(destination);
        for (int32_t i = 0; i < byte_count; ++i) bytes_out[i] = static_cast<uint8_t>(i + 1);
    }));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(calls, (std::vector<int>{300, 8, 1, 0, 400, 16, 2, 0, 64, 8, 2, 1, 240, 16, 2, 2}));
    const Sample* eight = song->instruments[1].samples[0];
    EXPECT_EQ(eight->data[0], 0x0100);  // not delta-decoded
    EXPECT_EQ(eight->data[1], 0x0200);
    const Sample* sixteen = song->instruments[2].samples[0];
    EXPECT_EQ(sixteen->data[0], 0x0201);
    EXPECT_EQ(song->instruments[2].samples[2]->length, 120u);  // the stream stayed in step
}

// Everything the replay and the mixer read, compared field by field.
void expect_same_song(const Song& a, const Song& b)
{
    EXPECT_EQ(a.song_length, b.song_length);
    EXPECT_EQ(a.channel_count, b.channel_count);
    ASSERT_EQ(a.pattern_slots, b.pattern_slots);
    for (int32_t p = 0; p < a.pattern_slots; ++p) {
        ASSERT_EQ(a.patterns[p].rows, b.patterns[p].rows) << "pattern " << p;
        const size_t cells =
            static_cast<size_t>(a.patterns[p].rows) * static_cast<size_t>(a.channel_count);
        EXPECT_EQ(std::memcmp(a.patterns[p].cells, b.patterns[p].cells, cells * sizeof(Cell)), 0)
            << "pattern " << p;
    }
    ASSERT_EQ(a.instrument_count, b.instrument_count);
    for (int32_t i = 0; i < a.instrument_count; ++i) {
        const Instrument& x = a.instruments[i];
        const Instrument& y = b.instruments[i];
        ASSERT_EQ(x.sample_count, y.sample_count) << "instrument " << i;
        EXPECT_EQ(std::memcmp(x.note_sample, y.note_sample,
                              offsetof(Instrument, fadeout) + sizeof x.fadeout -
                                  offsetof(Instrument, note_sample)),
                  0)
            << "instrument " << i;
        for (int32_t k = 0; k < x.sample_count; ++k) {
            const Sample& s = *x.samples[k];
            const Sample& t = *y.samples[k];
            ASSERT_EQ(s.length, t.length) << "instrument " << i << " sample " << k;
            EXPECT_EQ(s.loop_start, t.loop_start);
            EXPECT_EQ(s.loop_length, t.loop_length);
            EXPECT_EQ(s.loop_kind, t.loop_kind);
            EXPECT_EQ(s.volume, t.volume);
            EXPECT_EQ(s.loop_saved, t.loop_saved);
            EXPECT_EQ(std::memcmp(s.data, t.data, (s.length + 8) * sizeof(int16_t)), 0)
                << "instrument " << i << " sample " << k;
        }
    }
}

// Versions 1.02 and 1.03 store the instruments before the patterns and every sample's data
// after them, 1.02 with rows - 1 in one byte; they load to the song the 1.04 layout gives.
// Instruments past the 128 read are stepped over, samples and all, to reach the patterns.
class XmVersionTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(XmVersionTest, LoadsTheSameSongAsTheCurrentLayout)
{
    xmwriter::Module m = fixtures::rich_module();
    m.instruments[2].samples[1].adpcm = true;
    m.instruments.resize(140, m.instruments[2]);
    SongPtr expected = load(m);
    ASSERT_NE(expected, nullptr);
    m.version = GetParam();
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    expect_same_song(*song, *expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, XmVersionTest, ::testing::Values(0x0102, 0x0103, 0x0105));

TEST(XmTest, VersionsBefore102AreRefused)
{
    xmwriter::Module m = fixtures::rich_module();
    for (uint16_t version : {0x0000, 0x0101}) {
        m.version = version;
        EXPECT_EQ(load(m), nullptr) << version;
    }
}

// ADPCM: 16 deltas, then a nibble per frame, low nibble first. Every step here is in the
// writer's table, so the frames come back exactly; an odd count leaves a half-used last byte,
// and the plain sample after it must still be read from the right place.
TEST(XmTest, AdpcmPackedSamplesDecodeExactly)
{
    xmwriter::Sample packed;
    packed.adpcm = true;
    packed.frames = {1, 3, 7, 15, -1, -65, 63, 62, 60, 61, 61};
    xmwriter::Module m = fixtures::sample_module(packed);
    xmwriter::Sample plain;
    plain.frames = {5, -5, 100};
    m.instruments[0].samples.push_back(plain);
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    const Sample* a = song->instruments[0].samples[0];
    ASSERT_EQ(a->length, packed.frames.size());
    for (size_t i = 0; i < packed.frames.size(); ++i)
        EXPECT_EQ(a->data[i], packed.frames[i] * 256) << i;
    const Sample* b = song->instruments[0].samples[1];
    ASSERT_EQ(b->length, 3u);
    EXPECT_EQ(b->data[0], 5 * 256);
    EXPECT_EQ(b->data[1], -5 * 256);
    EXPECT_EQ(b->data[2], 100 * 256);
}

TEST(XmTest, FreeAcceptsNull)
{
    EXPECT_FALSE(song_free(nullptr));
    sample_free(nullptr);
}

// Bad input: every file-supplied count bounded before it sizes or indexes anything.

TEST(XmHostileTest, ChannelCountsOutsideOneTo256AreRefused)
{
    const xmwriter::Module m = fixtures::rich_module();
    for (uint32_t channels : {0u, 257u, 65535u}) {
        std::vector<uint8_t> bytes = xmwriter::write(m);
        put_u16(bytes, fixtures::CHANNELS_AT, channels);
        EXPECT_EQ(load(bytes), nullptr) << channels;
    }
    xmwriter::Module wide;
    wide.channels = 256;
    wide.orders = {0};
    wide.patterns.resize(1);
    SongPtr song = load(wide);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->channel_count, 256);
}

TEST(XmHostileTest, SongLengthAndRestartStayInsideTheOrderTable)
{
    std::vector<uint8_t> bytes = xmwriter::write(fixtures::rich_module());
    put_u16(bytes, fixtures::SONG_LENGTH_AT, 0xFFFF);
    put_u16(bytes, fixtures::RESTART_AT, 0x8000);
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->song_length, 256);
    EXPECT_EQ(song->restart_position, 0);
    EXPECT_EQ(song->pattern_slots, song->patterns_used);
    for (int order = 0; order < 256; ++order)
        EXPECT_LT(song->order_table[order], song->pattern_slots);

    // No orders at all: the replay still starts at order 0, which must name a pattern.
    xmwriter::Module m;
    m.orders = {7};
    bytes = xmwriter::write(m);
    put_u16(bytes, fixtures::SONG_LENGTH_AT, 0);
    song = load(bytes);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->song_length, 1);
    EXPECT_EQ(song->pattern_slots, 8);
    EXPECT_EQ(song->patterns[7].rows, 64);
}

TEST(XmHostileTest, PackedPatternLargerThanTheFileIsRefused)
{
    xmwriter::Module m;
    m.orders = {0};
    m.patterns.resize(1);
    m.patterns[0].rows = 4;
    std::vector<uint8_t> bytes = xmwriter::write(m);
    put_u16(bytes, fixtures::FIRST_PATTERN_AT + 5, 0xFFFF);  // 65535 rows of 4 cells, 16 bytes left
    EXPECT_EQ(load(bytes), nullptr);
}

TEST(XmHostileTest, EmptyPatternsCannotAskForUnboundedMemory)
{
    xmwriter::Module m;
    m.channels = 64;
    m.orders = {0};
    // 256 rows x 64 channels stored empty: 256 of them are allowed, one more is refused.
    std::vector<uint8_t> block;
    for (int p = 0; p < 257; ++p) block.insert(block.end(), {9, 0, 0, 0, 0, 0, 1, 0, 0});
    std::vector<uint8_t> bytes = with_raw_pattern(m, block);
    put_u16(bytes, fixtures::PATTERN_COUNT_AT, 257);
    EXPECT_EQ(load(bytes), nullptr);
    put_u16(bytes, fixtures::PATTERN_COUNT_AT, 256);
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->patterns[255].rows, 256);
    // Orders naming missing patterns count too.
    m.channels = 256;
    m.orders = {255};
    bytes = with_raw_pattern(m, {9, 0, 0, 0, 0, 0, 1, 0, 0});
    EXPECT_EQ(load(bytes), nullptr);
}

TEST(XmHostileTest, OnlyTheFirst128InstrumentsAreRead)
{
    xmwriter::Module m;
    m.orders = {0};
    m.patterns.resize(1);
    m.instruments.resize(200);
    SongPtr song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->instrument_count, 128);
    std::vector<uint8_t> bytes = xmwriter::write(m);
    put_u16(bytes, fixtures::INSTRUMENT_COUNT_AT, 0xFFFF);  // unsigned, not -1
    song = load(bytes);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->instrument_count, 128);
}

TEST(XmHostileTest, EnvelopePointCountsStayWithinTheTables)
{
    xmwriter::Module m = fixtures::rich_module();
    std::vector<uint8_t> bytes = xmwriter::write(m);
    const size_t second = instruments_at(m) + 29;
    bytes[second + 225] = 200;  // volume points
    bytes[second + 226] = 13;   // panning points
    bytes[second + 227] = 12;   // volume sustain
    bytes[second + 232] = 255;  // panning loop end
    bytes[second + 228] = 11;   // volume loop start: inside the table, kept
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    const Instrument& instrument = song->instruments[1];
    EXPECT_EQ(instrument.volume_points, 12);
    EXPECT_EQ(instrument.panning_points, 12);
    EXPECT_EQ(instrument.volume_sustain, 11);
    EXPECT_EQ(instrument.panning_loop_end, 11);
    EXPECT_EQ(instrument.volume_loop_start, 11);
}

TEST(XmHostileTest, SampleVolumeIsAtMost64)
{
    xmwriter::Sample s = fixtures::make_sample(10, false, xmwriter::SAMPLE_NO_LOOP, 0, 0);
    s.volume = 200;
    SongPtr song = load(fixtures::sample_module(s));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(only_sample(*song)->volume, 64);
    s.volume = 37;
    song = load(fixtures::sample_module(s));
    EXPECT_EQ(only_sample(*song)->volume, 37);
}

TEST(XmHostileTest, SampleLengthIsCutToTheBytesLeft)
{
    xmwriter::Sample s = fixtures::make_sample(100, true, xmwriter::SAMPLE_FORWARD, 80, 20);
    const xmwriter::Module m = fixtures::sample_module(s);
    std::vector<uint8_t> bytes = xmwriter::write(m);
    const size_t header = instruments_at(m) + fixtures::INSTRUMENT_HEADER_SIZE;
    put_u32(bytes, header, 0xFFFFFFFEu);  // 2^31 - 1 frames claimed, 100 present
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    const Sample* sample = only_sample(*song);
    EXPECT_EQ(sample->length, 100u);
    EXPECT_EQ(sample->loop_start, 80u);
    EXPECT_EQ(sample->loop_length, 20u);
    EXPECT_EQ(sample->data[99], s.frames[99]);
}

TEST(XmHostileTest, TruncatedFileLoadsWithWhatIsThere)
{
    xmwriter::Sample s = fixtures::make_sample(100, false, xmwriter::SAMPLE_PINGPONG, 10, 80);
    std::vector<uint8_t> bytes = xmwriter::write(fixtures::sample_module(s));
    bytes.erase(bytes.end() - 60, bytes.end());
    SongPtr song = load(bytes);
    ASSERT_NE(song, nullptr);
    const Sample* sample = only_sample(*song);
    EXPECT_EQ(sample->length, 40u);
    EXPECT_EQ(sample->loop_start, 10u);
    EXPECT_EQ(sample->loop_length, 30u);
    EXPECT_EQ(sample->loop_kind, LOOP_PINGPONG);
}

}  // namespace
