// offline_test.cpp -- the offline driver beside live sound, and the WAV writer used again

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/sdl/sdl_audio.h"
#include "player/player.h"
#include "tests/player/output_support.h"
#include "tests/support/player_support.h"
#include "tools/offline/offline.h"
#include "tools/offline/wav.h"
#include "tests/support/files.h"

namespace {

// Working out a song's length while another plays live: the player has one output, so the
// render is refused, and the live device plays on from its own ring (it used to be closed
// through the virtual device and left playing a freed ring).
TEST(OfflineRender, IsRefusedWhileLiveSoundPlaysAndTheLiveSoundPlaysOn)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    player::Song* live =
        test_support::load_module(xmwriter::write(test_support::song_module(2, 8, 3)));
    ASSERT_NE(live, nullptr);
    ASSERT_TRUE(platform::audio_set_device(platform::sdl_audio_device()));
    if (!player::sound_open(44100)) {
        player::song_free(live);
        GTEST_SKIP() << "no SDL sound here: " << platform::audio_error();
    }
    ASSERT_TRUE(player::song_start(live));

    player::Song* other =
        test_support::load_module(xmwriter::write(test_support::song_module(1, 4, 3)));
    ASSERT_NE(other, nullptr);
    const offline::RenderResult result =
        offline::render_song(other, 44100, 44100, true, false, nullptr, nullptr);
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

// ---- the WAV writer used for several files ----

using test_support::slurp;

// The data size the header gives.
uint32_t header_data_size(const std::string& bytes)
{
    if (bytes.size() < 44) return 0;
    const auto* at = reinterpret_cast<const uint8_t*>(bytes.data()) + 40;
    return static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16 |
                                 static_cast<uint32_t>(at[3]) << 24);
}

class WavWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/offline_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (size_t i = 0; i < pcm_.size(); ++i) pcm_[i] = static_cast<int16_t>(i * 31);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
    std::vector<int16_t> pcm_ = std::vector<int16_t>(2 * 100'000);
};

// Each way of using the writer again: after finish, without finish (the first file is then
// finished as it stands), and after a failed file. Every file must come out whole.
TEST_F(WavWriterTest, WritesOneWholeFileAfterAnother)
{
    offline::WavWriter wav;
    for (int round = 0; round < 3; ++round) {
        const std::string first = dir_ + "/first.wav", second = dir_ + "/second.wav";
        ASSERT_TRUE(wav.open(first, 44100));
        ASSERT_TRUE(wav.write(pcm_.data(), 100'000));
        ASSERT_TRUE(wav.open(second, 22050));  // the first is finished on the way
        EXPECT_EQ(header_data_size(slurp(first)), 400'000u);
        EXPECT_EQ(slurp(first).size(), 44u + 400'000u);
        ASSERT_TRUE(wav.write(pcm_.data(), 1000));
        ASSERT_TRUE(wav.finish());
        EXPECT_EQ(header_data_size(slurp(second)), 4000u);
        EXPECT_EQ(slurp(second).size(), 44u + 4000u);
        EXPECT_EQ(std::memcmp(slurp(second).data() + 44, pcm_.data(), 4000), 0);
    }
    // Once finished, nothing more goes anywhere until the next open.
    EXPECT_FALSE(wav.write(pcm_.data(), 10));
    EXPECT_FALSE(wav.finish());

    // A failed file leaves the writer ready for the next one.
    ASSERT_TRUE(wav.open("/dev/full", 44100) ? true : errno == ENOSPC);
    if (wav.is_open()) {
        bool ok = true;
        for (int i = 0; i < 10 && ok; ++i) ok = wav.write(pcm_.data(), 100'000);
        EXPECT_FALSE(ok && wav.finish());
        EXPECT_EQ(errno, ENOSPC);
    }
    const std::string after = dir_ + "/after.wav";
    ASSERT_TRUE(wav.open(after, 44100));
    ASSERT_TRUE(wav.write(pcm_.data(), 10));
    ASSERT_TRUE(wav.finish());
    EXPECT_EQ(slurp(after).size(), 44u + 40u);
}

// Dropped without finish: the file is finished, not left with a header of no length.
TEST_F(WavWriterTest, FinishesAFileItIsDroppedWith)
{
    const std::string path = dir_ + "/dropped.wav";
    {
        offline::WavWriter wav;
        ASSERT_TRUE(wav.open(path, 44100));
        ASSERT_TRUE(wav.write(pcm_.data(), 5000));
    }
    EXPECT_EQ(header_data_size(slurp(path)), 20'000u);
}

}  // namespace
