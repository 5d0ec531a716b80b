// song_watch.cpp -- row starts and the song's end, as the song tells them

#include "tools/offline/song_watch.h"

#include <array>
#include <atomic>

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
    bool record_rows = false;
    std::vector<RowStart> rows;
    uint64_t first_frame = 0;  // mixed frame of the first row start

    std::atomic<bool> began{false};
    std::atomic<uint64_t> start_heard{0};
    std::atomic<bool> ended{false};
    std::atomic<uint64_t> end_frame{0};
    std::atomic<uint64_t> end_heard{0};
    std::array<HeardRow, HEARD_ROWS> heard;
    std::atomic<uint64_t> heard_count{0};
};

Watch watch;

// On the thread that fills the chunks.
void hear(const player::SongEvent& event, void*)
{
    if (!watch.began.load(std::memory_order_relaxed)) {
        watch.first_frame = event.mix_frame;
        watch.start_heard.store(event.heard_frame, std::memory_order_relaxed);
        watch.began.store(true, std::memory_order_release);
    }
    const uint64_t frame = event.mix_frame - watch.first_frame;
    if (event.kind == player::SongEventKind::SONG_ENDED) {
        if (!watch.ended.load(std::memory_order_relaxed)) {
            watch.end_frame.store(frame, std::memory_order_relaxed);
            watch.end_heard.store(event.heard_frame, std::memory_order_relaxed);
            watch.ended.store(true, std::memory_order_release);
        }
        return;
    }
    if (watch.record_rows) watch.rows.push_back({frame, event.order, event.row});
    const uint64_t count = watch.heard_count.load(std::memory_order_relaxed);
    HeardRow& slot = watch.heard[count % HEARD_ROWS];
    slot.frame.store(event.heard_frame, std::memory_order_relaxed);
    slot.order.store(event.order, std::memory_order_relaxed);
    slot.row.store(event.row, std::memory_order_relaxed);
    watch.heard_count.store(count + 1, std::memory_order_release);
}

}  // namespace

void watch_song(player::Song* song, bool record_rows)
{
    if (song == nullptr) return;
    // Quiet while the record is reset: the song may be playing already.
    player::song_set_listener(song, nullptr, nullptr);
    watch.song = song;
    watch.record_rows = record_rows;
    watch.rows.clear();
    watch.first_frame = 0;
    watch.began.store(false);
    watch.start_heard.store(0);
    watch.ended.store(false);
    watch.end_frame.store(0);
    watch.end_heard.store(0);
    watch.heard_count.store(0);
    player::song_set_listener(song, hear, nullptr);
}

void unwatch_song(player::Song* song)
{
    if (song != nullptr && song == watch.song) player::song_set_listener(song, nullptr, nullptr);
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
