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
using StreamOpen = uint32_t (*)(const char* name);                              // token, 0 = failure
using StreamClose = void (*)(uint32_t token);
using StreamRead = int32_t (*)(void* destination, int32_t length, uint32_t token);  // bytes delivered
using StreamSeek = void (*)(uint32_t token, int32_t offset, uint8_t origin);     // 0 start, 1 current, 2 end
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

// Opens `name` through the installed stream and parses it; null on any failure.
Song* song_load(const char* name, SampleReader sample_reader);
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
// The same without the thread: an offline driver fills the chunks (player/mixer/output.h).
bool sound_open_offline(int32_t rate);
void sound_close();

// The song music_position reports (may be null), and its (order mod 256) << 8 | row mod 256;
// 0 without one. Read from any thread without a lock. song_free of the registered song takes
// it off the register (free it on the thread that reads the position, or stop reading first).
void set_music_song(Song* song);
uint16_t music_position();

}  // namespace player
