// xm.h -- a loaded XM module: song, patterns, instruments and samples, with the player state
//
// Records are zero-filled when allocated and owned by the record that points to them: a Song
// owns its patterns, instruments, samples and channels. Sample data is always signed 16-bit
// after loading, delta-decoded, with the frame after the loop end patched for interpolation.
//
// What a loaded song guarantees, whatever the file said: 1..256 channels; song_length 1..256
// and restart_position below it; every order below song_length names one of pattern_slots
// patterns (order 0 included); a pattern of 0 rows has no cells; at most 128 instruments;
// envelope point counts <= 12 and sustain/loop point numbers <= 11; every sample's loop lies
// inside it (loop_start + loop_length <= length, a looping sample has loop_length > 0) and
// its volume is at most 64.
// Not bounded: note_sample entries (32 and above mean no sample) and cell contents.
#pragma once
#include <atomic>
#include <cstdint>

#include "player/player.h"

namespace player {

struct Channel;
struct Song;

constexpr uint8_t NOTE_KEY_OFF = 255;  // the file's note 97
static_assert(NOTE_KEY_OFF == SONG_NOTE_KEY_OFF);

struct Cell {
    uint8_t note;        // 0 none, 1..96, NOTE_KEY_OFF
    uint8_t instrument;  // 0 none, 1..128
    uint8_t volume;      // volume column byte
    uint8_t effect;
    uint8_t parameter;
};
static_assert(sizeof(Cell) == 5);

struct Pattern {
    int32_t rows;   // 0..65535; 0 means no cells
    Cell* cells;    // rows * channel_count cells, row by row; null when rows is 0
    uint8_t blank;  // 1 when every cell is empty (FT2 plays such a pattern as 64 rows)
};

// loop_kind bits, tested bit-wise by the mixer.
constexpr uint8_t LOOP_NONE = 1;
constexpr uint8_t LOOP_FORWARD = 2;
constexpr uint8_t LOOP_PINGPONG = 4;
constexpr int32_t LOOP_SAVED_NONE = INT32_MIN;  // loop_saved when no frame was patched

// The type byte of a sample header in the file, from which the loader sets loop_kind and bits.
// Both loop bits set read as ping-pong (XmLoopTest, BothBitsPingPongWins).
constexpr uint8_t SAMPLE_TYPE_FORWARD_LOOP = 0x01;
constexpr uint8_t SAMPLE_TYPE_PINGPONG_LOOP = 0x02;
constexpr uint8_t SAMPLE_TYPE_LOOP_BITS = SAMPLE_TYPE_FORWARD_LOOP | SAMPLE_TYPE_PINGPONG_LOOP;
constexpr uint8_t SAMPLE_TYPE_SIXTEEN_BIT = 0x10;
// A sample header's reserved byte marks 8-bit data stored ADPCM-packed: a table of 16 signed
// deltas, then one 4-bit table index per frame.
constexpr uint8_t ADPCM_MARK = 0xAD;

struct Sample {
    int16_t* data;        // length + 8 frames; null when length is 0
    uint32_t length;      // frames
    uint32_t loop_start;  // frames; 0 without a loop
    uint32_t
        loop_length;  // frames; == length without a loop, so the loop end is where playback stops
    uint8_t volume;   // 0..64
    int8_t finetune;
    int32_t loop_saved;  // the frame the loop fix-up overwrote, or LOOP_SAVED_NONE
    int32_t panning;     // 0..255
    uint8_t bits;        // 8 or 16 as in the file; 16 once loaded
    uint8_t loop_kind;   // LOOP_NONE, LOOP_FORWARD or LOOP_PINGPONG (0 for empty_sample)
    int8_t relative_note;
    // A short loop (a ping-pong one there and back) repeated to at least UNROLLED_FRAMES
    // frames and 8 more, so FT2 voices cross a loop end once in many cycles; null otherwise.
    // The sample owns it (sample_unroll_loop, player/mixer/mixer.h).
    int16_t* unrolled;
    uint32_t unrolled_length;  // frames: a whole number of cycles
};

// Instrument::volume_type and panning_type bits.
constexpr uint8_t ENVELOPE_ON = 1;
constexpr uint8_t ENVELOPE_SUSTAIN = 2;
constexpr uint8_t ENVELOPE_LOOP = 4;

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;  // 0..64
};

// FT2 itself keeps 16 samples an instrument; trackers after it store up to 32, and the key
// map may name any of them.
constexpr int32_t INSTRUMENT_SAMPLES = 32;

struct Instrument {
    int32_t sample_count;                 // 0..INSTRUMENT_SAMPLES
    Sample* samples[INSTRUMENT_SAMPLES];  // slots from sample_count on point at empty_sample
    uint8_t note_sample[96];
    EnvelopePoint volume_envelope[12];
    EnvelopePoint panning_envelope[12];
    uint8_t volume_points, panning_points;
    uint8_t volume_sustain, volume_loop_start, volume_loop_end;
    uint8_t panning_sustain, panning_loop_start, panning_loop_end;
    uint8_t volume_type, panning_type;  // ENVELOPE_* bits
    uint8_t vibrato_type, vibrato_sweep, vibrato_depth, vibrato_rate;
    uint16_t fadeout;  // the file's value doubled
};

// All zero: no data, length 0. A voice given it stops at once. Never released.
extern Sample empty_sample;

constexpr uint16_t FLAG_LINEAR = 1;  // Song::flags bit 0: linear frequency table

// Versions 1.02 and 1.03 (XM_OLDEST_VERSION, player.h) store every instrument before the
// patterns and all sample data after them; from 1.04 on each instrument's sample data follows
// its headers.

struct Song {
    Song* next;  // playing-songs list; self-linked while not playing
    Song* prev;
    Pattern* patterns;          // pattern_slots records
    Instrument* instruments;    // instrument_count records
    Channel* channels;          // channel_count records while started, else null
    int32_t tick_samples_left;  // output frames left in the current tick
    int32_t samples_per_tick;
    int16_t song_length;
    int16_t restart_position;
    int16_t channel_count;
    int32_t patterns_used;  // 1 + highest pattern number in the played orders
    int32_t pattern_slots;  // max(file patterns, patterns_used)
    int16_t instrument_count;
    uint16_t flags;
    int16_t default_speed;
    int16_t default_bpm;
    uint8_t order_table[256];
    uint8_t initial_global_volume;
    int32_t global_volume;  // 0..64
    uint8_t global_volslide_memory;
    uint8_t playing;
    uint8_t song_looped;  // set when the order ran past the end to restart_position
    int32_t tick;
    int32_t speed;
    int32_t bpm;
    // Written by the mixing thread, read by the main thread without a lock.
    std::atomic<int32_t> row;
    std::atomic<int32_t> order;
    int32_t pattern_delay;
    int32_t next_row;       // -1 for none
    int32_t next_order;     // -1 for none
    int32_t loop_row_left;  // FT2's rules: the row the last E6y jumped to, where the next pattern
                            // starts
    void (*tick_handler)(Song* song);
    SampleReader sample_reader;
    Rules rules;            // FT2 unless the owner asks for the show's (song_set_rules)
    SongListener listener;  // told of row starts and the song's end (song_set_listener)
    void* listener_context;
    uint8_t looped_told;         // song_looped as the last row start saw it
    uint8_t order_started[256];  // 1 for each order a row has started in since song_start
};

struct Stream;
bool xm_parse(Song* song, Stream* stream);
void sample_free(Sample* sample);

}  // namespace player
