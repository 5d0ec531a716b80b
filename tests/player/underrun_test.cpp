// underrun_test.cpp -- counting the chunks the device plays again because the mixing thread
// fell behind, and the thread against a device on a simulated clock

#include <gtest/gtest.h>

#include <chrono>
#include <string>
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
        while (sound_fill_pass()) {}
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
    platform::virtual_audio_advance(static_cast<uint32_t>(stall.laps * n + stall.extra) * chunk,
                                    nullptr);
    catch_up();
    play(3 * n);
    EXPECT_EQ(sound_underruns(), static_cast<uint64_t>(stall.underrun_laps * n));
}

// A stall one chunk short of the ring costs nothing: each chunk is refilled just before the
// device comes back to it. One chunk more and a whole lap plays again, and the thread stays a
// lap behind (no more underruns) since it never fills ahead of the device.
INSTANTIATE_TEST_SUITE_P(Stalls, StallTest,
                         testing::Values(Stall{0, 1, 0}, Stall{0, 9, 0}, Stall{1, 0, 1},
                                         Stall{1, 5, 1}, Stall{2, 0, 2}));

TEST_F(UnderrunTest, OfflineFillingNeverCounts)
{
    ASSERT_TRUE(sound_open_offline(44100));
    ASSERT_TRUE(song_start(song_));
    for (int i = 0; i < 100; ++i) sound_fill_chunk();
    EXPECT_EQ(sound_underruns(), 0u);
}

// The device on a simulated clock: it moves in `step` frames at a time, and every `stall_every`
// steps it jumps on by `stall` chunks at once (a machine that kept the mixing thread off the
// cores for that long). After each move the driver waits, as long as it takes, until the fill
// pass has done what fell due, so the result never depends on how fast this machine is.
struct Clock {
    const char* name;
    int moves;
    uint32_t step;      // frames per move
    int stall_every;    // moves between stalls (0: none); a stall moves instead of a step
    int stall;          // chunks a stall jumps over
    int underrun_laps;  // laps of underruns over the whole run
};

void PrintTo(const Clock& c, std::ostream* os)
{
    *os << c.name;
}

class SimulatedClockTest : public UnderrunTest, public testing::WithParamInterface<Clock> {
protected:
    // Moves the device by the clock and calls `caught_up` after each; what the
    // device played is appended to `heard`.
    template <typename CatchUp>
    void play(const Clock& clock, std::vector<int16_t>& heard, CatchUp caught_up)
    {
        const auto chunk = static_cast<uint32_t>(sound_chunk_frames());
        std::vector<int16_t> played;
        for (int i = 1; i <= clock.moves; ++i) {
            uint32_t frames = clock.step;
            if (clock.stall_every > 0 && i % clock.stall_every == 0)
                frames = static_cast<uint32_t>(clock.stall) * chunk;
            played.resize(static_cast<size_t>(frames) * 2);
            platform::virtual_audio_advance(frames, played.data());
            heard.insert(heard.end(), played.begin(), played.end());
            caught_up();
        }
    }
};

// The mixing thread itself against the clock: it must fill exactly what the fill pass fills
// when the driver calls it by hand at the same device positions, so that the same sound is
// heard and the same underruns are counted.
TEST_P(SimulatedClockTest, TheThreadFillsWhatTheFillPassFillsByHand)
{
    const Clock clock = GetParam();

    ASSERT_TRUE(sound_open_offline(44100));
    ASSERT_TRUE(song_start(song_));
    std::vector<int16_t> by_hand;
    std::vector<uint64_t> filled;  // chunks filled after each move
    play(clock, by_hand, [&] {
        while (sound_fill_pass()) {}
        filled.push_back(sound_chunks_filled());
    });
    const uint64_t underruns_by_hand = sound_underruns();
    EXPECT_EQ(underruns_by_hand, static_cast<uint64_t>(clock.underrun_laps * sound_chunk_count()));
    sound_close();

    ASSERT_TRUE(sound_open(44100));
    ASSERT_TRUE(song_start(song_));
    std::vector<int16_t> threaded;
    size_t move = 0;
    play(clock, threaded, [&] {
        // A guard against a thread that never comes, not a measure of time.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (sound_chunks_filled() < filled[move] && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::yield();
        }
        ASSERT_EQ(sound_chunks_filled(), filled[move]) << "move " << move;
        ++move;
    });
    EXPECT_EQ(sound_underruns(), underruns_by_hand);
    EXPECT_TRUE(threaded == by_hand);
}

// Steps of about a millisecond, as a sound card's cursor moves, and a whole chunk at a time,
// cost nothing, and so do stalls of two chunks. The fill rule only knows where the device is,
// not how far it went: a stall that carries the device round the ring's end into its third
// chunk or later leaves the write chunk looking unplayed, and that costs a lap (2 of the
// 12 three-chunk stalls here do); a stall of more than a lap costs a lap once, the thread
// staying a lap behind after it.
INSTANTIATE_TEST_SUITE_P(Clocks, SimulatedClockTest,
                         testing::Values(Clock{"MillisecondSteps", 6000, 44, 0, 0, 0},
                                         Clock{"ChunkSteps", 300, 884, 0, 0, 0},
                                         Clock{"TwoChunkStalls", 600, 441, 50, 2, 0},
                                         Clock{"ThreeChunkStalls", 600, 441, 50, 3, 2},
                                         Clock{"AStallOfALapAndMore", 600, 441, 400, 11, 1}),
                         [](const testing::TestParamInfo<Clock>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
