// underrun_test.cpp -- counting the chunks the device plays again because the mixing thread
// fell behind, and the thread keeping up with a real-time device on a busy machine

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "platform/audio.h"
#include "platform/virtual/virtual_audio.h"
#include "player/control.h"
#include "player/mixer/output.h"
#include "player/stream.h"

namespace {

using namespace player;

class UnderrunTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::audio_set_device(platform::virtual_audio_device());
        sound_set_buffer_time(100);
        mem_register(assets::module_xm, assets::MODULE_SIZE);
        stream_set_callbacks(mem_open, mem_close, mem_read, mem_seek, mem_tell);
        song_ = song_load("quorbela.xm", nullptr);
        ASSERT_NE(song_, nullptr);
        song_set_rules(song_, Rules::SHOW);
    }
    void TearDown() override
    {
        song_free(song_);
        sound_close();
        sound_set_buffer_time(200);
    }

    Song* song_ = nullptr;
};

// The device moving on without a fill pass in the middle of steady chunk-by-chunk playing,
// in rings of n chunks (n = 10 here) and chunks, and the underruns that costs, in rings.
struct Stall {
    int laps;   // whole rings
    int extra;  // chunks beyond them
    int underrun_laps;
};

class StallTest : public UnderrunTest, public testing::WithParamInterface<Stall> {};

TEST_P(StallTest, CountsEveryChunkPlayedALapLate)
{
    ASSERT_TRUE(sound_open_offline(44100));
    ASSERT_TRUE(song_start(song_));
    const auto chunk = static_cast<uint32_t>(sound_chunk_frames());
    const int n = sound_chunk_count();
    auto catch_up = [] {
        while (sound_fill_pass()) {
        }
    };
    auto play = [&](int chunks) {
        for (int i = 0; i < chunks; ++i) {
            platform::virtual_audio_advance(chunk, nullptr);
            catch_up();
        }
    };
    play(3 * n);
    EXPECT_EQ(sound_underruns(), 0u);

    const Stall stall = GetParam();
    platform::virtual_audio_advance(static_cast<uint32_t>(stall.laps * n + stall.extra) * chunk, nullptr);
    catch_up();
    play(3 * n);
    EXPECT_EQ(sound_underruns(), static_cast<uint64_t>(stall.underrun_laps * n));
}

// A stall one chunk short of the ring costs nothing: each chunk is refilled just before the
// device comes back to it. One chunk more and a whole lap plays again, and the thread stays a
// lap behind (no more underruns) since it never fills ahead of the device.
INSTANTIATE_TEST_SUITE_P(Stalls, StallTest,
                         testing::Values(Stall{0, 1, 0}, Stall{0, 9, 0}, Stall{1, 0, 1}, Stall{1, 5, 1},
                                         Stall{2, 0, 2}));

TEST_F(UnderrunTest, OfflineFillingNeverCounts)
{
    ASSERT_TRUE(sound_open_offline(44100));
    ASSERT_TRUE(song_start(song_));
    for (int i = 0; i < 100; ++i) sound_fill_chunk();
    EXPECT_EQ(sound_underruns(), 0u);
}

// Sanitized builds mix several times slower; whether they keep up in real time says nothing
// about the program people run.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool INSTRUMENTED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool INSTRUMENTED = true;
#else
constexpr bool INSTRUMENTED = false;
#endif
#else
constexpr bool INSTRUMENTED = false;
#endif

// The mixing thread against a device that plays at real-time pace, for 30 seconds of the
// demo's song, while two threads keep both cores busy: not one chunk may play stale.
TEST_F(UnderrunTest, TheThreadKeepsUpInRealTimeOnABusyMachine)
{
    if (INSTRUMENTED) GTEST_SKIP() << "real-time pace is a property of the optimised build";
    ASSERT_TRUE(sound_open(44100));
    ASSERT_TRUE(song_start(song_));
    std::atomic<bool> done{false};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i) {
        load.emplace_back([&done] {
            volatile uint64_t spin = 0;
            while (!done.load(std::memory_order_relaxed)) spin = spin + 1;
        });
    }
    // The device moves in steps of about a millisecond, as a sound card's cursor does.
    const auto begin = std::chrono::steady_clock::now();
    const auto until = begin + std::chrono::seconds(30);
    uint64_t played = 0;
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const auto due = static_cast<uint64_t>(elapsed * 44100);
        platform::virtual_audio_advance(static_cast<uint32_t>(due - played), nullptr);
        played = due;
    }
    done.store(true);
    for (std::thread& thread : load) thread.join();
    const uint64_t chunks_played = played / static_cast<uint64_t>(sound_chunk_frames());
    EXPECT_GE(sound_chunks_filled() + static_cast<uint64_t>(sound_chunk_count()), chunks_played);
    EXPECT_EQ(sound_underruns(), 0u);
}

}  // namespace
