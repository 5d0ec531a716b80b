// song_watch.cpp -- row starts and the song's end, seen by wrapping the tick handler

#include "tools/offline/song_watch.h"

#include <array>
#include <atomic>

#include "player/mixer/output.h"
#include "player/player.h"

namespace offline {

namespace {

// Recent row starts for the play display. Written on the mixing thread, read on the main
// thread; each field is atomic, and a row read while it is rewritten only shows for 50 ms.
struct HeardRow {
    std::atomic<uint64_t> frame{0};
    std::atomic<int32_t> order{0};
    std::atomic<int32_t> row{0};
};
constexpr size_t HEARD_ROWS = 64;  // far more rows than a ring of audio holds

struct Watch {
    player::Song* song = nullptr;
    void (*inner)(player::Song*) = nullptr;
    bool record_rows = false;
    std::vector<RowStart> rows;
    bool row_started = false;
    uint64_t first_frame = 0;  // mixed frame of the first tick

    std::atomic<bool> began{false};
    std::atomic<uint64_t> start_heard{0};
    std::atomic<bool> ended{false};
    std::atomic<uint64_t> end_frame{0};
    std::atomic<uint64_t> end_heard{0};
    std::array<bool, 256> played{};  // orders that have started a row
    std::array<HeardRow, HEARD_ROWS> heard;
    std::atomic<uint64_t> heard_count{0};
};

Watch watch;

void watched_tick(player::Song* song)
{
    if (song->tick != 0) {
        watch.inner(song);
        return;
    }
    const uint64_t mixed = player::sound_mix_frame();
    const uint64_t heard = player::sound_heard_frame();
    if (!watch.began.load(std::memory_order_relaxed)) {
        watch.first_frame = mixed;
        watch.start_heard.store(heard, std::memory_order_relaxed);
        watch.began.store(true, std::memory_order_release);
    }
    const bool looped = song->song_looped != 0;
    const int32_t previous_order = song->order.load(std::memory_order_relaxed);
    const int32_t jump_order = song->next_order;

    watch.inner(song);

    const int32_t order = song->order.load(std::memory_order_relaxed);
    const int32_t row = song->row.load(std::memory_order_relaxed);
    // The order only falls back, or is set again to itself, through a jump, a break past the
    // last order or the restart after the last one.
    bool went_back = order < previous_order || (order == previous_order && jump_order >= 0);
    // By FT2's rules the song goes on through a jump back to an order it has not played yet,
    // as FT2-faithful players time it; the show's rules keep their length.
    if (player::song_rules(song) == player::Rules::FT2 && order >= 0 && order < 256 &&
        !watch.played[static_cast<size_t>(order)]) {
        went_back = false;
    }
    if (order >= 0 && order < 256) watch.played[static_cast<size_t>(order)] = true;
    if (watch.row_started && !watch.ended.load(std::memory_order_relaxed) && (looped || went_back)) {
        watch.end_frame.store(mixed - watch.first_frame, std::memory_order_relaxed);
        watch.end_heard.store(heard, std::memory_order_relaxed);
        watch.ended.store(true, std::memory_order_release);
    }
    watch.row_started = true;

    if (watch.record_rows) watch.rows.push_back({mixed - watch.first_frame, order, row});
    const uint64_t count = watch.heard_count.load(std::memory_order_relaxed);
    HeardRow& slot = watch.heard[count % HEARD_ROWS];
    slot.frame.store(heard, std::memory_order_relaxed);
    slot.order.store(order, std::memory_order_relaxed);
    slot.row.store(row, std::memory_order_relaxed);
    watch.heard_count.store(count + 1, std::memory_order_release);
}

}  // namespace

void watch_song(player::Song* song, bool record_rows)
{
    player::MixerExclusion exclusion;
    if (song == nullptr) return;
    if (song->tick_handler != watched_tick) watch.inner = song->tick_handler;
    song->tick_handler = watched_tick;
    watch.song = song;
    watch.record_rows = record_rows;
    watch.rows.clear();
    watch.row_started = false;
    watch.played.fill(false);
    watch.first_frame = 0;
    watch.began.store(false);
    watch.start_heard.store(0);
    watch.ended.store(false);
    watch.end_frame.store(0);
    watch.end_heard.store(0);
    watch.heard_count.store(0);
}

void unwatch_song(player::Song* song)
{
    player::MixerExclusion exclusion;
    if (song != nullptr && song->tick_handler == watched_tick) song->tick_handler = watch.inner;
    watch.song = nullptr;
}

bool song_ended()
{
    return watch.ended.load(std::memory_order_acquire);
}

uint64_t song_end_frame()
{
    return watch.end_frame.load(std::memory_order_relaxed);
}

uint64_t song_end_heard_frame()
{
    return watch.end_heard.load(std::memory_order_relaxed);
}

bool song_began()
{
    return watch.began.load(std::memory_order_acquire);
}

uint64_t song_start_heard_frame()
{
    return watch.start_heard.load(std::memory_order_relaxed);
}

const std::vector<RowStart>& recorded_rows()
{
    return watch.rows;
}

bool heard_row(uint64_t frame, int32_t& order, int32_t& row)
{
    const uint64_t count = watch.heard_count.load(std::memory_order_acquire);
    const uint64_t oldest = count > HEARD_ROWS ? count - HEARD_ROWS : 0;
    for (uint64_t i = count; i > oldest; --i) {
        const HeardRow& slot = watch.heard[(i - 1) % HEARD_ROWS];
        if (slot.frame.load(std::memory_order_relaxed) <= frame) {
            order = slot.order.load(std::memory_order_relaxed);
            row = slot.row.load(std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

}  // namespace offline
