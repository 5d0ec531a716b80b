// player.h -- the XM player as other programs use it: install a stream, open the sound,
// load, start and free songs, and read where the show's song is
//
// Everything else under player/ is the library's own. A program that only plays modules
// needs this header and nothing more.
#pragma once
#include <cstdint>

namespace player {

struct Song;  // a loaded module with its player state (player/xm.h)

// The stream the loader reads modules through: install all five callbacks, or none.
using StreamOpen = uint32_t (*)(const char* name);  // token, 0 = failure
using StreamClose = void (*)(uint32_t token);
using StreamRead = int32_t (*)(void* destination, int32_t length,
                               uint32_t token);  // bytes delivered
using StreamSeek = void (*)(uint32_t token, int32_t offset,
                            uint8_t origin);  // 0 start, 1 current, 2 end
using StreamTell = int32_t (*)(uint32_t token);
void stream_set_callbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                          StreamTell tell);

// The memory stream: serves the one registered byte image (the caller keeps the bytes alive)
// whatever name is opened.
void mem_register(const uint8_t* bytes, uint32_t size);
uint32_t mem_open(const char* name);
void mem_close(uint32_t token);
int32_t mem_read(void* destination, int32_t length, uint32_t token);
void mem_seek(uint32_t token, int32_t offset, uint8_t origin);
int32_t mem_tell(uint32_t token);

// Supplies raw (not delta-coded) sample data instead of the stream; null reads the stream.
using SampleReader = void (*)(void* destination, int32_t byte_count, int32_t bits,
                              int32_t instrument_index, int32_t sample_index);

// The oldest XM version song_load reads (0x0102, "1.02"); older files are refused.
constexpr uint16_t XM_OLDEST_VERSION = 0x0102;

// Opens `name` through the installed stream and parses it; null on any failure.
Song* song_load(const char* name, SampleReader sample_reader);

// What a loaded song is, as its header gave it (after the loader's bounds).
struct SongInfo {
    int32_t channels;     // 1..256
    int32_t instruments;  // 0..128
    int32_t orders;       // 1..256
    int32_t restart;      // the order played after the last one
    int32_t speed;        // ticks a row at the start
    int32_t bpm;          // tempo at the start, as stored
    bool linear;          // linear frequency table (else Amiga periods)
};
SongInfo song_info(const Song* song);  // all 0 for null

// One cell of a pattern as the song stores it, for showing the notes: note 0 none, 1..96
// (C-0 up), SONG_NOTE_KEY_OFF; instrument 0 none, else 1..128; the volume column byte; the
// effect and its parameter as in the file.
struct SongCell {
    uint8_t note;
    uint8_t instrument;
    uint8_t volume;
    uint8_t effect;
    uint8_t parameter;
};
constexpr uint8_t SONG_NOTE_KEY_OFF = 255;
// The pattern the song plays at `order`, or -1 past its orders; a pattern the file lacks
// counts as one with no rows.
int32_t song_order_pattern(const Song* song, int32_t order);
int32_t song_pattern_rows(const Song* song, int32_t pattern);  // 0 for none
// The cell at `row` and `channel` of `pattern`; false, with an empty cell, outside it.
bool song_cell(const Song* song, int32_t pattern, int32_t row, int32_t channel, SongCell* cell);
// The replay rules a song plays by. Files people write were written and heard in FastTracker 2,
// so FT2 is what a loaded song plays by; the show's song asks for the show engine's own rules,
// which differ from FT2's in a few dozen small ways and which the show's timing depends on.
enum class Rules : uint8_t { FT2, SHOW };
// Chooses the rules before song_start; false for null.
bool song_set_rules(Song* song, Rules rules);
Rules song_rules(const Song* song);  // FT2 for null

// Restarts the song from order 0 and links it into the mixer's playing list. False for null.
bool song_start(Song* song);
bool song_stop(Song* song);
// Stops the song (out of the mixer's way) and releases it with everything it owns.
bool song_free(Song* song);

// Milliseconds of buffering, a multiple of 20; the ring holds twice that. Before sound_open.
bool sound_set_buffer_time(int32_t milliseconds);
// Opens the chosen audio device at `rate` (16-bit stereo) and starts the mixing thread.
bool sound_open(int32_t rate);
// The same without the thread: an offline driver fills the chunks (sound_fill_pass and
// sound_fill_chunk below).
bool sound_open_offline(int32_t rate);
void sound_close();

// Frames per chunk of the open sound (884 at 44100 Hz); 0 while closed.
int32_t sound_chunk_frames();
// Underruns since sound_open: each time the device reached a chunk the mixing thread had not
// refilled since the device last played it. Readable from any thread.
uint64_t sound_underruns();

// Driving the sound without the mixing thread (after sound_open_offline), for renderers and
// captures; the thread runs the same fill pass, so both give the same samples.
// One pass of the mixing loop: asks the device where it plays and fills the next chunk if
// the device has left it. True when a chunk was filled.
bool sound_fill_pass();
// Fills the next chunk now, whatever the device does, and returns its chunk frames of
// interleaved left, right (valid until the ring comes round to it again). Null while closed.
const int16_t* sound_fill_chunk();
// While on, chunks play the songs' ticks but mix no voice: silence, timed exactly as the real
// sound, for learning where a song's rows fall in a fraction of the time. Off at each open.
void sound_set_timing_only(bool on);

// What the replay says as a song plays: where each row starts, and where the song ends.
enum class SongEventKind : uint8_t {
    ROW_STARTED,
    // The row starting now is where the song ends: the order ran past the last one and the
    // song restarts, a jump or break went to an order at or before the one playing, or (FT2's
    // rules) an F00 on the row before held the song there for ever. From here the song only
    // repeats itself. Told just before that row's ROW_STARTED, every time the song comes round
    // (a looping song ends once a loop).
    SONG_ENDED,
};
struct SongEvent {
    SongEventKind kind;
    int32_t order;
    int32_t row;
    uint64_t mix_frame;    // frames mixed since sound_open when the row's first tick begins
    uint64_t heard_frame;  // the device frame (bytes / 4) at which that tick will be heard
};
// Runs on the thread that fills the chunks (the mixing thread, or the offline driver's), in
// the middle of a fill: it must return quickly and must not start, stop or free songs, nor
// open or close the sound.
using SongListener = void (*)(const SongEvent& event, void* context);
// The song's one listener (null for none); it stays across song_start. False for a null song.
bool song_set_listener(Song* song, SongListener listener, void* context);

// The song music_position reports (may be null), and its (order mod 256) << 8 | row mod 256;
// 0 without one. Read from any thread without a lock. song_free of the registered song takes
// it off the register (free it on the thread that reads the position, or stop reading first).
void set_music_song(Song* song);
uint16_t music_position();

}  // namespace player
