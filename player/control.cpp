// control.cpp -- song start and stop, tempo, and the music position

#include "player/control.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "player/list.h"
#include "player/mixer/exclusion.h"
#include "player/mixer/mixer.h"
#include "player/mixer/output.h"
#include "player/replay/replay.h"

namespace player {

namespace {

Song* playing_list_head()
{
    static Song head{};
    static const bool linked = [] {
        list_init(&head);
        return true;
    }();
    (void)linked;
    return &head;
}

std::atomic<Song*> music_song{nullptr};

}  // namespace

Song* playing_songs()
{
    return playing_list_head();
}

bool song_stop(Song* song)
{
    if (song == nullptr) return false;
    MixerExclusion exclusion;
    list_unlink(song);
    song->playing = 0;
    if (song->channels != nullptr) {
        for (int32_t i = 0; i < song->channel_count; ++i) voice_stop(i);
        delete[] song->channels;
        song->channels = nullptr;
    }
    return true;
}

bool song_set_rules(Song* song, Rules rules)
{
    if (song == nullptr) return false;
    song->rules = rules;
    return true;
}

Rules song_rules(const Song* song)
{
    return song == nullptr ? Rules::FT2 : song->rules;
}

bool song_start(Song* song)
{
    if (song == nullptr) return false;
    // Channel i drives voice i, so a song can use at most the whole pool.
    if (song->channel_count < 0 || song->channel_count > VOICE_COUNT) return false;
    MixerExclusion exclusion;
    song_stop(song);

    song->global_volume = song->initial_global_volume;
    song->next_order = -1;
    song->next_row = -1;
    song->speed = song->default_speed;
    song->row = 0;
    song->order = 0;
    song->tick_samples_left = 0;
    song->tick = 0;
    song->pattern_delay = 0;
    song->loop_row_left = 0;
    song->song_looped = 0;
    song->looped_told = 0;
    std::fill(std::begin(song->order_started), std::end(song->order_started), uint8_t{0});
    song_set_bpm(song, song->default_bpm);

    if (song->channel_count > 0) {
        song->channels = new (std::nothrow) Channel[static_cast<size_t>(song->channel_count)]{};
        if (song->channels == nullptr) return false;
        song_bind_voices(song);
        replay_start(song);
    }
    list_insert_before(song, playing_list_head());
    song->playing = 1;
    return true;
}

void song_bind_voices(Song* song)
{
    if (song == nullptr || song->channels == nullptr) return;
    Voice* pool = voice_pool();
    // The mixer sounds a song as its rules' player did: binding (at start and on every reopen
    // of the sound) gives the voices the matching style.
    const MixStyle style = song->rules == Rules::FT2 ? MixStyle::FT2 : MixStyle::SHOW;
    for (int32_t i = 0; i < song->channel_count; ++i) {
        song->channels[i].voice = pool != nullptr ? &pool[i] : nullptr;
        song->channels[i].voice_index = i;
        voice_set_mix_style(i, style);
    }
}

void song_set_bpm(Song* song, int32_t bpm)
{
    if (song == nullptr) return;
    // A module header may carry 0 or a negative tempo; the mixing thread needs a positive
    // tick length, so those play at the slowest tempo.
    if (bpm < 1) bpm = 1;
    song->bpm = bpm;
    // The single-precision constants are part of the arithmetic: 0.4f and 0.001f widened.
    const double frames =
        1000.0 / (bpm * static_cast<double>(0.4f)) * output_rate() * static_cast<double>(0.001f);
    const int32_t per_tick = static_cast<int32_t>(frames);
    song->samples_per_tick = per_tick > 0 ? per_tick : 1;
}

int32_t song_order(const Song* song)
{
    return song != nullptr ? song->order.load(std::memory_order_relaxed) : 0;
}

int32_t song_row(const Song* song)
{
    return song != nullptr ? song->row.load(std::memory_order_relaxed) : 0;
}

void set_music_song(Song* song)
{
    music_song.store(song, std::memory_order_relaxed);
}

SongInfo song_info(const Song* song)
{
    if (song == nullptr) return {};
    return {song->channel_count,
            song->instrument_count,
            song->song_length,
            song->restart_position,
            song->default_speed,
            song->default_bpm,
            (song->flags & FLAG_LINEAR) != 0};
}

int32_t song_order_pattern(const Song* song, int32_t order)
{
    if (song == nullptr || order < 0 || order >= song->song_length) return -1;
    return song->order_table[order];
}

int32_t song_pattern_rows(const Song* song, int32_t pattern)
{
    if (song == nullptr || pattern < 0 || pattern >= song->pattern_slots) return 0;
    const Pattern& stored = song->patterns[pattern];
    return stored.cells == nullptr ? 0 : stored.rows;
}

bool song_cell(const Song* song, int32_t pattern, int32_t row, int32_t channel, SongCell* cell)
{
    *cell = {};
    if (row < 0 || row >= song_pattern_rows(song, pattern)) return false;
    if (channel < 0 || channel >= song->channel_count) return false;
    const size_t index = static_cast<size_t>(row) * static_cast<size_t>(song->channel_count) +
                         static_cast<size_t>(channel);
    const Cell& stored = song->patterns[pattern].cells[index];
    *cell = {stored.note, stored.instrument, stored.volume, stored.effect, stored.parameter};
    return true;
}

bool song_set_listener(Song* song, SongListener listener, void* context)
{
    if (song == nullptr) return false;
    MixerExclusion exclusion;
    song->listener = listener;
    song->listener_context = context;
    return true;
}

void song_row_started(Song* song, int32_t left_order, bool order_given)
{
    // The replay flags song_looped on the last row's first tick, or where FT2's F00 holds the
    // song on its row for ever: the row after that is the end, told once.
    const bool newly_looped = song->song_looped != 0 && song->looped_told == 0;
    song->looped_told = song->song_looped;
    const int32_t order = song->order.load(std::memory_order_relaxed);
    const bool known_order = order >= 0 && order < 256;
    const bool first_time_here = known_order && song->order_started[order] == 0;
    if (known_order) song->order_started[order] = 1;
    if (song->listener == nullptr) return;
    SongEvent event{SongEventKind::SONG_ENDED, order, song->row, sound_mix_frame(),
                    sound_heard_frame()};
    // The order only falls back, or is given again as itself, through a jump, a break past the
    // last order or the restart after the last one: the song has come round. By FT2's rules a
    // jump back to an order not played yet goes on into new music, as FT2-faithful players
    // time it; the show's rules keep the lengths they always had.
    const bool into_new_music = song->rules == Rules::FT2 && first_time_here;
    const bool came_round = order_given && order <= left_order && !into_new_music;
    if (newly_looped || came_round) song->listener(event, song->listener_context);
    event.kind = SongEventKind::ROW_STARTED;
    song->listener(event, song->listener_context);
}

void forget_music_song(const Song* song)
{
    Song* expected = const_cast<Song*>(song);
    music_song.compare_exchange_strong(expected, nullptr, std::memory_order_relaxed);
}

uint16_t music_position()
{
    const Song* song = music_song.load(std::memory_order_relaxed);
    if (song == nullptr) return 0;
    return static_cast<uint16_t>(((song_order(song) & 255) << 8) | (song_row(song) & 255));
}

}  // namespace player
