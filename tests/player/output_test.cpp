// output_test.cpp -- the ring of chunks, the fill rule, the mixing thread and offline filling

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/virtual/virtual_audio.h"
#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/mixer/output.h"
#include "player/replay/replay.h"
#include "player/stream.h"
#include "tests/player/output_support.h"
#include "tests/support/player_support.h"

namespace {

using namespace player;

std::vector<uint8_t> test_module_bytes()
{
    return xmwriter::write(test_support::song_module(3, 16, 3));
}

class OutputTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::audio_set_device(platform::virtual_audio_device());
        platform::virtual_audio_fail_open(false);
        sound_set_buffer_time(100);
        bytes_ = test_module_bytes();
        song_ = test_support::load_module(bytes_);
        ASSERT_NE(song_, nullptr);
    }
    void TearDown() override
    {
        song_free(song_);
        sound_close();
        platform::virtual_audio_fail_open(false);
        sound_set_buffer_time(200);
    }

    // `chunks` chunks filled back to back after song_start, as one stream.
    std::vector<int16_t> render_offline(int chunks)
    {
        EXPECT_TRUE(sound_open_offline(44100));
        EXPECT_TRUE(song_start(song_));
        std::vector<int16_t> out;
        for (int i = 0; i < chunks; ++i) {
            const int16_t* pcm = sound_fill_chunk();
            out.insert(out.end(), pcm, pcm + 2 * sound_chunk_frames());
        }
        song_stop(song_);
        sound_close();
        return out;
    }

    std::vector<uint8_t> bytes_;
    Song* song_ = nullptr;
};

TEST(OutputSizes, ChunkFrames)
{
    EXPECT_EQ(chunk_frames_for(44100), 884);
    EXPECT_EQ(chunk_frames_for(48000), 960);
    EXPECT_EQ(chunk_frames_for(22050), 444);
    EXPECT_EQ(chunk_frames_for(8000), 160);
}

struct BufferCase {
    int32_t asked;
    int32_t milliseconds;
    int32_t ring;
};

void PrintTo(const BufferCase& c, std::ostream* os)
{
    *os << c.asked << " ms";
}

class BufferTimeTest : public testing::TestWithParam<BufferCase> {};

TEST_P(BufferTimeTest, RoundsDownToTwentyAndSizesTheRing)
{
    const BufferCase c = GetParam();
    platform::audio_set_device(platform::virtual_audio_device());
    std::vector<uint8_t> bytes = test_module_bytes();
    Song* song = test_support::load_module(bytes);  // installs the stream callbacks
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(sound_set_buffer_time(c.asked));
    EXPECT_EQ(sound_buffer_time(), c.milliseconds);
    ASSERT_TRUE(sound_open_offline(44100));
    EXPECT_EQ(sound_ring_frames(), c.ring);
    EXPECT_EQ(sound_chunk_count(), c.ring / 884);
    sound_close();
    song_free(song);
    sound_set_buffer_time(200);
}

INSTANTIATE_TEST_SUITE_P(Times, BufferTimeTest,
                         testing::Values(BufferCase{5, 20, 1768}, BufferCase{20, 20, 1768},
                                         BufferCase{-40, 20, 1768}, BufferCase{110, 100, 8840},
                                         BufferCase{200, 200, 17680}));

struct FillRuleCase {
    int32_t playing;
    std::vector<int32_t> filled;  // write chunks that are filled, of 10
};

void PrintTo(const FillRuleCase& c, std::ostream* os)
{
    *os << "p " << c.playing;
}

class FillRuleTest : public testing::TestWithParam<FillRuleCase> {};

TEST_P(FillRuleTest, FillsOnlyTheChunksTheDeviceHasLeft)
{
    const FillRuleCase c = GetParam();
    for (int32_t w = 0; w < 10; ++w) {
        const bool expected = std::find(c.filled.begin(), c.filled.end(), w) != c.filled.end();
        EXPECT_EQ(chunk_due(w, c.playing, 10), expected) << "w " << w << " p " << c.playing;
    }
}

INSTANTIATE_TEST_SUITE_P(TenChunks, FillRuleTest,
                         testing::Values(FillRuleCase{5, {0, 1, 2, 3, 4}},
                                         FillRuleCase{0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                         FillRuleCase{1, {0, 2, 3, 4, 5, 6, 7, 8, 9}}));

TEST(OutputOpen, FailsWithoutStreamCallbacks)
{
    platform::audio_set_device(platform::virtual_audio_device());
    stream_set_callbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(sound_open(44100));
    EXPECT_FALSE(sound_open_offline(44100));
    EXPECT_FALSE(sound_is_open());
    EXPECT_FALSE(platform::virtual_audio_is_open());
    EXPECT_EQ(voice_pool(), nullptr);
}

TEST_F(OutputTest, FailsWhenTheDeviceDoesAndLeavesNothingOpen)
{
    platform::virtual_audio_fail_open(true);
    EXPECT_FALSE(sound_open(44100));
    EXPECT_FALSE(sound_is_open());
    EXPECT_EQ(voice_pool(), nullptr);
    EXPECT_EQ(sound_fill_chunk(), nullptr);

    platform::audio_set_device(nullptr);
    platform::virtual_audio_fail_open(false);
    EXPECT_FALSE(sound_open(44100));
}

TEST_F(OutputTest, FillPassFollowsTheDeviceCursor)
{
    ASSERT_TRUE(sound_open_offline(44100));
    const int32_t chunk = sound_chunk_frames();
    // The device starts on chunk 0, which is the write chunk: nothing is due.
    EXPECT_FALSE(sound_fill_pass());
    platform::virtual_audio_advance(static_cast<uint32_t>(chunk), nullptr);
    EXPECT_TRUE(sound_fill_pass());
    EXPECT_FALSE(sound_fill_pass());
    EXPECT_EQ(sound_chunks_filled(), 1u);
    // Three chunks on: the device plays chunk 4, so chunks 1 to 3 are due, one per pass.
    platform::virtual_audio_advance(static_cast<uint32_t>(3 * chunk), nullptr);
    int filled = 0;
    while (sound_fill_pass()) ++filled;
    EXPECT_EQ(filled, 3);
}

// Records where each tick falls, then hands over to the replay.
struct TickLog {
    std::vector<uint64_t> frames;
    std::vector<int32_t> orders, rows;
};
TickLog tick_log;

void logging_tick(Song* song)
{
    const bool row_start = song->tick == 0;
    replay_tick(song);
    if (!row_start) return;
    tick_log.frames.push_back(sound_mix_frame());
    tick_log.orders.push_back(song->order);
    tick_log.rows.push_back(song->row);
}

TEST_F(OutputTest, TheFirstChunkAfterStartBeginsWithTheFirstRow)
{
    ASSERT_TRUE(sound_open_offline(44100));
    sound_fill_chunk();  // a chunk with nothing playing
    tick_log = {};
    song_->tick_handler = logging_tick;
    ASSERT_TRUE(song_start(song_));
    for (int i = 0; i < 4; ++i) sound_fill_chunk();
    ASSERT_GE(tick_log.frames.size(), 1u);
    EXPECT_EQ(tick_log.frames[0], 884u);
    EXPECT_EQ(tick_log.orders[0], 0);
    EXPECT_EQ(tick_log.rows[0], 0);
    // Rows of 3 ticks of 882 frames follow.
    ASSERT_GE(tick_log.frames.size(), 2u);
    EXPECT_EQ(tick_log.frames[1], 884u + 3 * 882);
    EXPECT_EQ(tick_log.rows[1], 1);
}

TEST_F(OutputTest, WithoutASongEveryChunkIsSilence)
{
    ASSERT_TRUE(sound_open_offline(44100));
    ASSERT_TRUE(song_start(song_));
    const int32_t chunks = sound_chunk_count();
    for (int32_t i = 0; i < chunks; ++i) sound_fill_chunk();
    const int16_t* ring = sound_ring();
    const auto samples = static_cast<size_t>(sound_ring_frames()) * 2;
    ASSERT_TRUE(std::any_of(ring, ring + samples, [](int16_t s) { return s != 0; }));

    song_stop(song_);
    for (int32_t i = 0; i < chunks; ++i) sound_fill_chunk();
    EXPECT_TRUE(std::all_of(ring, ring + samples, [](int16_t s) { return s == 0; }));
}

TEST_F(OutputTest, TimingOnlyChunksAreSilentAndTheNextOpenMixesAgain)
{
    ASSERT_TRUE(sound_open_offline(44100));
    sound_set_timing_only(true);
    ASSERT_TRUE(song_start(song_));
    const int32_t chunks = sound_chunk_count();
    for (int32_t i = 0; i < chunks; ++i) sound_fill_chunk();
    const int16_t* ring = sound_ring();
    const auto samples = static_cast<size_t>(sound_ring_frames()) * 2;
    EXPECT_TRUE(std::all_of(ring, ring + samples, [](int16_t s) { return s == 0; }));
    EXPECT_GT(song_->row.load(), 0);  // the song went on all the same
    song_stop(song_);
    sound_close();

    const std::vector<int16_t> heard = render_offline(4);
    EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; }));
}

TEST_F(OutputTest, OfflineRenderingIsRepeatable)
{
    const std::vector<int16_t> first = render_offline(60);
    const std::vector<int16_t> second = render_offline(60);
    ASSERT_EQ(first.size(), 60u * 884 * 2);
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int16_t s) { return s != 0; }));
    EXPECT_EQ(first, second);
}

TEST_F(OutputTest, TheThreadFillsTheSameSamplesAsOfflineRendering)
{
    constexpr int CHUNKS = 40;
    const std::vector<int16_t> offline = render_offline(CHUNKS);

    ASSERT_TRUE(sound_open(44100));
    ASSERT_TRUE(song_start(song_));
    const auto chunk = static_cast<uint32_t>(sound_chunk_frames());
    const auto ring_chunks = static_cast<int>(sound_chunk_count());
    // The device plays chunk by chunk; after each step the thread refills the chunk just
    // left. What is heard from the second lap on is the song from its first frame.
    std::vector<int16_t> heard;
    std::vector<int16_t> step(static_cast<size_t>(chunk) * 2);
    for (int i = 0; i < CHUNKS + ring_chunks; ++i) {
        platform::virtual_audio_advance(chunk, step.data());
        heard.insert(heard.end(), step.begin(), step.end());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (sound_chunks_filled() < static_cast<uint64_t>(i + 1) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_EQ(sound_chunks_filled(), static_cast<uint64_t>(i + 1));
    }
    const auto lap = static_cast<std::ptrdiff_t>(sound_ring_frames()) * 2;
    EXPECT_TRUE(std::all_of(heard.begin(), heard.begin() + lap, [](int16_t s) { return s == 0; }));
    const std::vector<int16_t> song_heard(
        heard.begin() + lap, heard.begin() + lap + static_cast<std::ptrdiff_t>(offline.size()));
    EXPECT_EQ(song_heard, offline);
}

// Songs start, stop, are freed and loaded again while the thread renders and the device plays
// at real-time pace. Run it under ThreadSanitizer to see the exclusion hold.
TEST_F(OutputTest, StartStopAndFreeWhileTheThreadRenders)
{
    ASSERT_TRUE(sound_open(44100));
    std::atomic<bool> done{false};
    std::thread device([&done] {
        const auto begin = std::chrono::steady_clock::now();
        uint64_t played = 0;
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            const auto elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const auto due = static_cast<uint64_t>(elapsed * 44100);
            platform::virtual_audio_advance(static_cast<uint32_t>(due - played), nullptr);
            played = due;
        }
    });

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int rounds = 0;
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_TRUE(song_start(song_));
        set_music_song(song_);
        std::this_thread::sleep_for(std::chrono::milliseconds(7 + rounds % 13));
        (void)music_position();
        if (rounds % 3 == 0) {
            ASSERT_TRUE(song_start(song_));  // restart while playing
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(rounds % 5));
        if (rounds % 2 == 0) {
            ASSERT_TRUE(song_stop(song_));
        }
        set_music_song(nullptr);
        ASSERT_TRUE(song_free(song_));
        song_ = test_support::load_module(bytes_);
        ASSERT_NE(song_, nullptr);
        ++rounds;
    }
    done.store(true);
    device.join();
    EXPECT_GT(sound_chunks_filled(), 20u);
    EXPECT_GT(rounds, 20);
}

}  // namespace
