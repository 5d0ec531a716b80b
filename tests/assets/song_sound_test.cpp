// song_sound_test.cpp -- the song as our own player renders it: length, headroom, loudness, stereo
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "assets/assets.h"
#include "tools/offline/offline.h"
#include "player/stream.h"
#include "player/xm.h"

namespace {

struct Figures {
    uint64_t frames = 0;
    uint64_t clipped = 0;
    double sum_mid = 0.0, sum_side = 0.0, sum_all = 0.0;
};

class SongSoundTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        player::mem_register(assets::module_xm, assets::MODULE_SIZE);
        player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                     player::mem_seek, player::mem_tell);
        player::Song* song = player::song_load("quorbela.xm", nullptr);
        ASSERT_NE(song, nullptr);
        player::song_set_rules(song, player::Rules::SHOW);
        const offline::RenderResult result = offline::render_song(
            song, 44100, 200ull * 44100, true, false,
            [](const int16_t* pcm, uint32_t count) {
                for (uint32_t i = 0; i < count; ++i) {
                    const double l = pcm[2 * i], r = pcm[2 * i + 1];
                    figures.clipped += (l >= 32767 || l <= -32768) + (r >= 32767 || r <= -32768);
                    figures.sum_all += l * l + r * r;
                    figures.sum_mid += (l + r) * (l + r) / 4.0;
                    figures.sum_side += (l - r) * (l - r) / 4.0;
                }
                figures.frames += count;
                return true;
            },
            nullptr);
        ended = result.ended;
        player::song_free(song);
    }

    static double db(double sum_squares, uint64_t samples)
    {
        return 10.0 * std::log10(sum_squares / static_cast<double>(samples) / (32768.0 * 32768.0));
    }

    static Figures figures;
    static bool ended;
};

Figures SongSoundTest::figures;
bool SongSoundTest::ended = false;

TEST_F(SongSoundTest, PlaysAboutTwoAndAHalfMinutesBeforeItLoops)
{
    EXPECT_TRUE(ended);
    const double seconds = static_cast<double>(figures.frames) / 44100.0;
    EXPECT_GT(seconds, 150.0);
    EXPECT_LT(seconds, 160.0);
}

TEST_F(SongSoundTest, NeverClips)
{
    EXPECT_EQ(figures.clipped, 0u);
}

TEST_F(SongSoundTest, LoudnessIsThatOfAFinishedTrack)
{
    const double rms = db(figures.sum_all, figures.frames * 2);
    EXPECT_GT(rms, -20.0);
    EXPECT_LT(rms, -10.0);
}

TEST_F(SongSoundTest, HasARealStereoImage)
{
    // The difference of the two sides carries a good share of the energy, not a trace.
    const double side_to_mid =
        db(figures.sum_side, figures.frames) - db(figures.sum_mid, figures.frames);
    EXPECT_GT(side_to_mid, -15.0);
}

}  // namespace
