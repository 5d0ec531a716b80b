// control_test.cpp -- song start and stop, tempo, the music position, and what a song tells

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/virtual/virtual_audio.h"
#include "player/control.h"
#include "player/list.h"
#include "player/mixer/mixer.h"
#include "player/mixer/output.h"
#include "player/replay/replay.h"
#include "player/stream.h"
#include "tests/player/output_support.h"
#include "tests/support/player_support.h"

namespace {

using namespace player;

struct BpmCase {
    int32_t rate;
    int32_t bpm;
    int32_t frames;
};

void PrintTo(const BpmCase& c, std::ostream* os)
{
    *os << c.bpm << " BPM at " << c.rate << " Hz";
}

class SongSetBpmTest : public testing::TestWithParam<BpmCase> {
protected:
    void TearDown() override { voice_pool_destroy(); }
};

TEST_P(SongSetBpmTest, FramesPerTick)
{
    const BpmCase c = GetParam();
    ASSERT_TRUE(voice_pool_create(c.rate));
    Song song{};
    list_init(&song);
    song_set_bpm(&song, c.bpm);
    EXPECT_EQ(song.bpm, c.bpm);
    EXPECT_EQ(song.samples_per_tick, c.frames);
}

INSTANTIATE_TEST_SUITE_P(Tempos, SongSetBpmTest,
                         testing::Values(BpmCase{44100, 125, 882}, BpmCase{44100, 118, 934},
                                         BpmCase{44100, 32, 3445}, BpmCase{44100, 255, 432},
                                         BpmCase{48000, 125, 960}, BpmCase{22050, 125, 441}));

TEST(SongSetBpm, MatchesTheIntegerFormulaAt44100ForEveryTempo)
{
    ASSERT_TRUE(voice_pool_create(44100));
    Song song{};
    for (int32_t bpm = 1; bpm <= 255; ++bpm) {
        song_set_bpm(&song, bpm);
        EXPECT_EQ(song.samples_per_tick, 44100 * 5 / (bpm * 2)) << "bpm " << bpm;
    }
    voice_pool_destroy();
}

TEST(SongSetBpm, ATempoOfZeroStillGivesTicksOfSomeLength)
{
    Song song{};
    song_set_bpm(&song, 0);
    EXPECT_GT(song.samples_per_tick, 0);
}

TEST(MusicPosition, PacksOrderAndRow)
{
    Song song{};
    list_init(&song);
    set_music_song(&song);
    song.order = 5;
    song.row = 63;
    EXPECT_EQ(music_position(), 0x053F);
    song.order = 18;
    song.row = 0;
    EXPECT_EQ(music_position(), 0x1200);
    // Each part is taken modulo 256.
    song.order = 0x105;
    song.row = 0x140;
    EXPECT_EQ(music_position(), 0x0540);
    set_music_song(nullptr);
    EXPECT_EQ(music_position(), 0);
}

// The show's song may be freed while the renderer still asks where the music is: freeing it
// takes it off the register, so the position reads 0 instead of freed memory. Freeing another
// song leaves the register alone.
TEST(MusicPosition, FreeingTheRegisteredSongClearsTheRegister)
{
    const std::vector<uint8_t> bytes = xmwriter::write(test_support::song_module(2, 16, 3));
    Song* shown = test_support::load_module(bytes);
    Song* other = test_support::load_module(bytes);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(other, nullptr);
    shown->order = 1;
    shown->row = 7;
    set_music_song(shown);
    ASSERT_TRUE(song_free(other));
    EXPECT_EQ(music_position(), 0x0107);
    ASSERT_TRUE(song_free(shown));
    EXPECT_EQ(music_position(), 0);
}

TEST(Control, NullSongs)
{
    EXPECT_FALSE(song_start(nullptr));
    EXPECT_FALSE(song_stop(nullptr));
    EXPECT_EQ(song_order(nullptr), 0);
    EXPECT_EQ(song_row(nullptr), 0);
    song_set_bpm(nullptr, 125);
}

class ControlTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::audio_set_device(platform::virtual_audio_device());
        song_ = test_support::load_module(xmwriter::write(test_support::song_module(2, 16, 3)));
        ASSERT_NE(song_, nullptr);
        ASSERT_TRUE(sound_open_offline(44100));
    }
    void TearDown() override
    {
        song_free(song_);
        sound_close();
    }
    Song* song_ = nullptr;
};

TEST_F(ControlTest, StartLinksTheSongWithChannelsBoundToTheirVoices)
{
    ASSERT_TRUE(song_start(song_));
    EXPECT_EQ(song_->playing, 1);
    EXPECT_EQ(playing_songs()->next, song_);
    EXPECT_EQ(song_->next, playing_songs());
    ASSERT_NE(song_->channels, nullptr);
    for (int32_t i = 0; i < song_->channel_count; ++i) {
        EXPECT_EQ(song_->channels[i].voice, &voice_pool()[i]);
        EXPECT_EQ(song_->channels[i].voice_index, i);
    }
    EXPECT_EQ(song_->samples_per_tick, 882);
    EXPECT_EQ(song_->speed, 3);

    ASSERT_TRUE(song_stop(song_));
    EXPECT_EQ(song_->playing, 0);
    EXPECT_EQ(song_->channels, nullptr);
    EXPECT_TRUE(list_empty(playing_songs()));
    EXPECT_EQ(song_->next, song_);
    EXPECT_TRUE(song_stop(song_));  // twice is harmless
}

TEST_F(ControlTest, StartingAPlayingSongRestartsItWithFreshChannelsAndSilencedVoices)
{
    ASSERT_TRUE(song_start(song_));
    for (int i = 0; i < 20; ++i) sound_fill_chunk();
    EXPECT_NE(song_order(song_) * 256 + song_row(song_), 0);
    ASSERT_NE(voice_pool()[1].sample, nullptr);  // channel 1 plays a note on every row
    song_->channels[1].volume = 99;
    song_->global_volume = 3;
    song_->speed = 9;

    ASSERT_TRUE(song_start(song_));
    EXPECT_EQ(voice_pool()[1].sample, nullptr);
    EXPECT_EQ(song_->channels[1].volume, 0);
    EXPECT_EQ(song_order(song_), 0);
    EXPECT_EQ(song_row(song_), 0);
    EXPECT_EQ(song_->tick, 0);
    EXPECT_EQ(song_->tick_samples_left, 0);
    EXPECT_EQ(song_->next_order, -1);
    EXPECT_EQ(song_->next_row, -1);
    EXPECT_EQ(song_->global_volume, 64);
    EXPECT_EQ(song_->speed, 3);
    // Linked once, not twice.
    EXPECT_EQ(playing_songs()->next, song_);
    EXPECT_EQ(playing_songs()->prev, song_);
}

TEST_F(ControlTest, ReopeningTheSoundRebindsAPlayingSong)
{
    ASSERT_TRUE(song_start(song_));
    ASSERT_TRUE(sound_open_offline(22050));
    ASSERT_NE(voice_pool(), nullptr);
    for (int32_t i = 0; i < song_->channel_count; ++i) {
        EXPECT_EQ(song_->channels[i].voice, &voice_pool()[i]);
    }
    EXPECT_EQ(song_->samples_per_tick, 441);
    // It goes on playing from the new pool.
    for (int i = 0; i < 4; ++i) sound_fill_chunk();
    EXPECT_NE(voice_pool()[1].sample, nullptr);

    sound_close();
    EXPECT_EQ(song_->playing, 1);
    EXPECT_EQ(song_->channels[0].voice, nullptr);
}

TEST_F(ControlTest, ASongStartedBeforeTheSoundIsBoundWhenItOpens)
{
    sound_close();
    ASSERT_TRUE(song_start(song_));
    EXPECT_EQ(song_->channels[0].voice, nullptr);
    ASSERT_TRUE(sound_open_offline(48000));
    EXPECT_EQ(song_->channels[2].voice, &voice_pool()[2]);
    EXPECT_EQ(song_->samples_per_tick, 960);
}

// A tick handler runs while its chunk fills, under the chunk's lock: stopping its own song
// there nests in that lock (it once waited for itself for ever). Freeing the song, closing
// or reopening the sound are refused, for the chunk goes on with them after the handler.
TEST_F(ControlTest, ATickHandlerCanStopItsSongButNotFreeItOrCloseTheSound)
{
    static int ticks;
    static bool freed;
    static bool reopened;
    ticks = 0;
    freed = reopened = true;
    song_->tick_handler = [](Song* song) {
        replay_tick(song);
        if (++ticks == 7) {
            freed = song_free(song);
            sound_close();
            reopened = sound_open_offline(22050);
            song_stop(song);
        }
    };
    ASSERT_TRUE(song_start(song_));
    for (int i = 0; i < 10; ++i) sound_fill_chunk();
    EXPECT_EQ(ticks, 7);
    EXPECT_FALSE(freed);
    EXPECT_FALSE(reopened);
    EXPECT_TRUE(sound_is_open());
    EXPECT_EQ(sound_chunks_filled(), 10u);
    EXPECT_EQ(song_->playing, 0);
    EXPECT_TRUE(list_empty(playing_songs()));
    for (int32_t i = 0; i < song_->channel_count; ++i) EXPECT_EQ(voice_pool()[i].sample, nullptr);
}

// What the song tells its listener, written as "E" for an end and "order:row@tick" for a row
// start, the tick counted from the first row's.
struct HeardEvents {
    std::string text;
    uint64_t first_frame = UINT64_MAX;
};

void note_event(const SongEvent& event, void* context)
{
    auto* heard = static_cast<HeardEvents*>(context);
    if (heard->first_frame == UINT64_MAX) heard->first_frame = event.mix_frame;
    // The heard frame lies a ring ahead of the mixed one when sound_fill_chunk drives the sound.
    EXPECT_EQ(event.heard_frame, event.mix_frame);
    if (event.kind == SongEventKind::SONG_ENDED) {
        heard->text += "E ";
        return;
    }
    heard->text += std::to_string(event.order) + ":" + std::to_string(event.row) + "@" +
                   std::to_string((event.mix_frame - heard->first_frame) / 882) + " ";
}

struct ListenCase {
    const char* name;
    // (order, row, channel 3's effect and parameter)
    std::vector<std::array<int, 4>> effects;
    int orders;
    int restart;
    const char* heard;  // the first 12 events
};

class SongListenerTest : public testing::TestWithParam<ListenCase> {};

// Plays the case's song and returns the first `count` events it tells, then checks that a
// song without a listener tells nothing.
std::string first_events(const ListenCase& c, Rules rules, int count)
{
    platform::audio_set_device(platform::virtual_audio_device());
    xmwriter::Module module = test_support::song_module(c.orders, 4, 2);
    module.restart = static_cast<uint16_t>(c.restart);
    for (const auto& [order, row, effect, parameter] : c.effects) {
        module.patterns[static_cast<size_t>(order)].at(row, 3, module.channels) = {
            0, 0, 0, static_cast<uint8_t>(effect), static_cast<uint8_t>(parameter)};
    }
    Song* song = test_support::load_module(xmwriter::write(module), rules);
    EXPECT_NE(song, nullptr);
    EXPECT_TRUE(sound_open_offline(44100));
    HeardEvents heard;
    EXPECT_TRUE(song_set_listener(song, note_event, &heard));
    EXPECT_TRUE(song_start(song));
    int events = 0;
    while (events < count) {
        sound_fill_chunk();
        events = static_cast<int>(std::count(heard.text.begin(), heard.text.end(), ' '));
    }
    std::string first;
    for (size_t at = 0, n = 0; n < static_cast<size_t>(count); ++n) {
        const size_t space = heard.text.find(' ', at);
        first += heard.text.substr(at, space + 1 - at);
        at = space + 1;
    }
    // Without a listener the song plays on untold.
    EXPECT_TRUE(song_set_listener(song, nullptr, nullptr));
    const std::string before = heard.text;
    for (int i = 0; i < 10; ++i) sound_fill_chunk();
    EXPECT_EQ(heard.text, before);
    song_free(song);
    sound_close();
    EXPECT_FALSE(song_set_listener(nullptr, note_event, &heard));
    return first;
}

// Two ticks a row, four rows a pattern, 882 frames a tick. The end comes just before the row
// that would repeat, once each time round; a jump forward or a pattern loop is no end.
TEST_P(SongListenerTest, TellsRowStartsAndTheEndOnTheFillingThread)
{
    EXPECT_EQ(first_events(GetParam(), Rules::SHOW, 12), GetParam().heard);
}

constexpr uint8_t JUMP = 0x0B, BREAK = 0x0D, EXTENDED = 0x0E;

INSTANTIATE_TEST_SUITE_P(
    Songs, SongListenerTest,
    testing::Values(
        ListenCase{"RestartAfterTheLastOrder",
                   {},
                   2,
                   1,
                   "0:0@0 0:1@2 0:2@4 0:3@6 1:0@8 1:1@10 1:2@12 1:3@14 E 1:0@16 1:1@18 1:2@20 "},
        ListenCase{"JumpBack",
                   {{1, 1, JUMP, 0}},
                   2,
                   0,
                   "0:0@0 0:1@2 0:2@4 0:3@6 1:0@8 1:1@10 E 0:0@12 0:1@14 0:2@16 0:3@18 1:0@20 "},
        ListenCase{"BreakOnTheLastOrder",
                   {{0, 2, BREAK, 0x01}},
                   1,
                   0,
                   "0:0@0 0:1@2 0:2@4 E 0:1@6 0:2@8 E 0:1@10 0:2@12 E 0:1@14 0:2@16 "},
        ListenCase{"JumpForwardAndPatternLoop",
                   {{0, 0, JUMP, 2}, {2, 0, EXTENDED, 0x60}, {2, 1, EXTENDED, 0x61}},
                   3,
                   0,
                   "0:0@0 2:0@2 2:1@4 2:0@6 2:1@8 2:2@10 2:3@12 E 0:0@14 2:0@16 2:1@18 2:0@20 "}),
    [](const testing::TestParamInfo<ListenCase>& param) { return std::string(param.param.name); });

// A jump back to an order not played yet leads into music not heard before: by FT2's rules
// the song goes on, by the show's it has come round. Either way the second jump to it ends it.
TEST(SongListener, AJumpBackIntoAnOrderNotPlayedEndsTheSongOnlyByTheShowsRules)
{
    const ListenCase c{"", {{0, 0, JUMP, 2}, {2, 1, JUMP, 1}}, 3, 0, ""};
    EXPECT_EQ(first_events(c, Rules::SHOW, 11),
              "0:0@0 2:0@2 2:1@4 E 1:0@6 1:1@8 1:2@10 1:3@12 2:0@14 2:1@16 E ");
    EXPECT_EQ(first_events(c, Rules::FT2, 10),
              "0:0@0 2:0@2 2:1@4 1:0@6 1:1@8 1:2@10 1:3@12 2:0@14 2:1@16 E ");
}

// What a pattern view reads: the order's pattern, its rows and each cell as stored, and
// nothing (never a read out of bounds) past any of them.
TEST(SongCells, ReadThePatternAtAnOrderAndNothingOutsideIt)
{
    xmwriter::Module module = test_support::song_module(2, 4, 2);
    module.orders = {1, 0};
    module.patterns[1].at(3, 2, module.channels) = {49, 1, 0x30, 0x0C, 0x20};
    Song* song = test_support::load_module(xmwriter::write(module));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song_order_pattern(song, 0), 1);
    EXPECT_EQ(song_order_pattern(song, 2), -1);
    EXPECT_EQ(song_order_pattern(song, -1), -1);
    EXPECT_EQ(song_pattern_rows(song, 1), 4);
    EXPECT_EQ(song_pattern_rows(song, 200), 0);
    SongCell cell{};
    ASSERT_TRUE(song_cell(song, 1, 3, 2, &cell));
    EXPECT_EQ(cell.note, 49);
    EXPECT_EQ(cell.instrument, 1);
    EXPECT_EQ(cell.volume, 0x30);
    EXPECT_EQ(cell.effect, 0x0C);
    EXPECT_EQ(cell.parameter, 0x20);
    for (const auto& [pattern, row, channel] : std::vector<std::array<int32_t, 3>>{
             {1, 4, 0}, {1, -1, 0}, {1, 0, module.channels}, {7, 0, 0}}) {
        EXPECT_FALSE(song_cell(song, pattern, row, channel, &cell));
        EXPECT_EQ(cell.note, 0);
    }
    EXPECT_FALSE(song_cell(nullptr, 0, 0, 0, &cell));
    song_free(song);
}

TEST(Control, RefusesMoreChannelsThanVoices)
{
    Song song{};
    list_init(&song);
    song.channel_count = VOICE_COUNT + 1;
    EXPECT_FALSE(song_start(&song));
    EXPECT_EQ(song.playing, 0);
    EXPECT_TRUE(list_empty(playing_songs()));
}

}  // namespace
