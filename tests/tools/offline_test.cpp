// offline_test.cpp -- the offline driver beside live sound, and the WAV writer used again

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/audio.h"
#include "platform/sdl/sdl_audio.h"
#include "player/player.h"
#include "tests/player/output_support.h"
#include "tests/support/player_support.h"
#include "tools/offline/offline.h"

namespace {

// Working out a song's length while another plays live: the player has one output, so the
// render is refused, and the live device plays on from its own ring (it used to be closed
// through the virtual device and left playing a freed ring).
TEST(OfflineRender, IsRefusedWhileLiveSoundPlaysAndTheLiveSoundPlaysOn)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    player::Song* live = test_support::load_module(xmwriter::write(test_support::song_module(2, 8, 3)));
    ASSERT_NE(live, nullptr);
    ASSERT_TRUE(platform::audio_set_device(platform::sdl_audio_device()));
    if (!player::sound_open(44100)) {
        player::song_free(live);
        GTEST_SKIP() << "no SDL sound here: " << platform::audio_error();
    }
    ASSERT_TRUE(player::song_start(live));

    player::Song* other = test_support::load_module(xmwriter::write(test_support::song_module(1, 4, 3)));
    ASSERT_NE(other, nullptr);
    const offline::RenderResult result = offline::render_song(other, 44100, 44100, true, false, nullptr, nullptr);
    EXPECT_FALSE(result.started);

    // SDL's audio thread goes on reading the ring it was given.
    const uint64_t before = platform::audio_position();
    for (int i = 0; i < 200 && platform::audio_position() == before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(platform::audio_position(), before);
    EXPECT_EQ(platform::audio_device(), platform::sdl_audio_device());

    player::sound_close();
    EXPECT_FALSE(platform::audio_is_open());
    // Once the live sound is closed the render goes through.
    EXPECT_TRUE(offline::render_song(other, 44100, 44100, true, false, nullptr, nullptr).started);
    player::song_free(other);
    player::song_free(live);
}

}  // namespace
