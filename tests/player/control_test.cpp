// control_test.cpp -- song start and stop, tempo, and the music position

#include <gtest/gtest.h>

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
