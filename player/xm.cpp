// xm.cpp -- the XM loader: module header, packed patterns, instruments and 16-bit samples
//
// Two layouts are read: from version 1.04 on the patterns come first and each instrument's
// sample data follows its headers; versions 1.02 and 1.03 store all instruments first, then
// the patterns (1.02 with a shorter pattern header), then every sample's data in header order.
//
// The loader is handed arbitrary files, so every count and offset the file supplies is
// bounded before it sizes an allocation or indexes a table:
//   - song length is 1..256 (the order table's size; the replay starts at order 0 whatever
//     the length says, so that order must name a pattern slot); a restart position at or past
//     the song length restarts at order 0;
//   - 1..256 channels (one mixer voice per channel), otherwise the file is refused;
//   - a packed pattern must fit its rows x channels cells (one byte each at least) in the
//     bytes left in the file; cells no file bytes stand for (patterns stored empty, patterns
//     the order table names but the file lacks) are MAX_UNBACKED_CELLS at most;
//   - only the first 128 instruments are read: a cell cannot name any other;
//   - envelope point counts are at most 12 and sustain and loop point numbers at most 11, so
//     nothing indexes past the point tables;
//   - surplus instruments of the older layout are stepped over to find the patterns;
//   - a sample is never longer than the bytes left in the file, and its loop is cut back to
//     the sample (a loop that becomes empty makes it non-looping); its volume is at most 64.
// Short reads leave zero-filled fields, as with any stream; exhausted memory fails the load.

#include "player/xm.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "player/control.h"
#include "player/list.h"
#include "player/mixer/exclusion.h"
#include "player/mixer/mixer.h"
#include "player/replay/replay.h"
#include "player/stream.h"

namespace player {

Sample empty_sample{};

namespace {

constexpr char SIGNATURE[] = "Extended Module: ";
constexpr int32_t SIGNATURE_LENGTH = 17;
constexpr int32_t MAX_ORDERS = 256;
constexpr int32_t MAX_CHANNELS = VOICE_COUNT;
constexpr int32_t MAX_INSTRUMENTS = 128;
constexpr int32_t MAX_SAMPLES = INSTRUMENT_SAMPLES;
// An instrument header of 0 bytes, or of more than the full 263, is read as the full one.
constexpr uint32_t FULL_INSTRUMENT_HEADER = 263;
// FT2's tempo ranges: header values outside them are brought inside.
constexpr int32_t MIN_SPEED = 1, MAX_SPEED = 31;
constexpr int32_t MIN_BPM = 32, MAX_BPM = 255;
constexpr int32_t MAX_ENVELOPE_POINTS = 12;
constexpr int32_t MISSING_PATTERN_ROWS = 64;
// 20 MB of empty cells: 256 empty patterns of 256 rows at 64 channels, far beyond what real
// modules store empty, yet a few header bytes cannot ask for more.
constexpr int64_t MAX_UNBACKED_CELLS = int64_t{1} << 22;
constexpr int64_t VERSION_AT = 58;
constexpr uint16_t VERSION_ONE_BYTE_ROWS =
    0x0102;  // rows - 1 in one byte: an 8-byte pattern header
constexpr uint16_t VERSION_DATA_WITH_INSTRUMENT = 0x0104;
constexpr int64_t SAMPLE_HEADER_SIZE = 40;
constexpr int32_t ADPCM_TABLE_SIZE = 16;

// Which samples are stored ADPCM-packed, noted from their headers until their data is read.
using PackedSamples = bool[MAX_INSTRUMENTS][MAX_SAMPLES];

// Bounds-safe reads through the stream: bytes past the end read as 0.
class Reader {
public:
    explicit Reader(Stream* stream) : stream_(stream)
    {
        stream_seek(stream_, 0, 2);
        size_ = stream_tell(stream_);
        stream_seek(stream_, 0, 0);
    }

    void bytes(void* destination, int32_t count)
    {
        if (count > 0) stream_read(destination, count, stream_);
    }
    uint8_t read_u8()
    {
        uint8_t b[1] = {};
        bytes(b, 1);
        return b[0];
    }
    uint16_t read_u16le()
    {
        uint8_t b[2] = {};
        bytes(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    uint32_t read_u32le()
    {
        uint8_t b[4] = {};
        bytes(b, 4);
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }

    int32_t tell() { return stream_tell(stream_); }
    // Absolute offsets from the file may exceed 32 bits; past the end is the end.
    void seek_to(int64_t offset)
    {
        stream_seek(stream_, static_cast<int32_t>(std::clamp<int64_t>(offset, 0, INT32_MAX)), 0);
    }
    void skip(int64_t count) { seek_to(static_cast<int64_t>(tell()) + count); }
    int64_t bytes_left() { return std::max<int64_t>(0, static_cast<int64_t>(size_) - tell()); }

private:
    Stream* stream_;
    int32_t size_ = 0;
};

// Cuts the loop back inside the sample; a loop that ends up empty makes the sample
// non-looping, whose "loop" is the whole sample so that its end is the loop end.
void fit_loop(Sample* sample)
{
    if (sample->loop_kind != LOOP_NONE) {
        sample->loop_start = std::min(sample->loop_start, sample->length);
        sample->loop_length = std::min(sample->loop_length, sample->length - sample->loop_start);
        if (sample->loop_length != 0) return;
    }
    sample->loop_kind = LOOP_NONE;
    sample->loop_start = 0;
    sample->loop_length = sample->length;
}

void read_pattern_cells(Reader& reader, Pattern* pattern, int64_t cell_count)
{
    Cell* cell = pattern->cells;
    for (int64_t k = 0; k < cell_count; ++k, ++cell) {
        const uint8_t b = reader.read_u8();
        if (b & 0x80) {
            if (b & 0x01) cell->note = reader.read_u8();
            if (b & 0x02) cell->instrument = reader.read_u8();
            if (b & 0x04) cell->volume = reader.read_u8();
            if (b & 0x08) cell->effect = reader.read_u8();
            if (b & 0x10) cell->parameter = reader.read_u8();
        } else {
            cell->note = b;
            cell->instrument = reader.read_u8();
            cell->volume = reader.read_u8();
            cell->effect = reader.read_u8();
            cell->parameter = reader.read_u8();
        }
        if (cell->note == 97) cell->note = NOTE_KEY_OFF;
        if (cell->instrument > 128) cell->instrument = 0;
    }
}

bool read_patterns(Song* song, Reader& reader, uint16_t file_patterns, bool one_byte_rows)
{
    song->patterns_used = 0;
    for (int32_t i = 0; i < song->song_length; ++i) {
        if (song->order_table[i] >= song->patterns_used) {
            song->patterns_used = song->order_table[i] + 1;
        }
    }
    const int32_t slots = std::max<int32_t>(file_patterns, song->patterns_used);
    song->patterns = new (std::nothrow) Pattern[static_cast<size_t>(slots)]{};
    if (song->patterns == nullptr) return false;
    song->pattern_slots = slots;

    const int64_t channels = song->channel_count;
    int64_t unbacked_cells = 0;
    for (int32_t p = 0; p < file_patterns; ++p) {
        Pattern* pattern = &song->patterns[p];
        const int64_t header_start = reader.tell();
        const uint32_t header_length = reader.read_u32le();
        reader.read_u8();  // packing type
        const int32_t rows = one_byte_rows ? reader.read_u8() + 1 : reader.read_u16le();
        const uint16_t packed_size = reader.read_u16le();
        // A longer header than the fields read has more after them: the cells start behind it.
        // A shorter one, or one that would leave no room in the file for its packed cells, is
        // damage and read as the usual length.
        const int64_t fields = reader.tell() - header_start;
        if (header_length > fields && header_length - fields + packed_size <= reader.bytes_left()) {
            reader.seek_to(header_start + header_length);
        }
        const int64_t cells_start = reader.tell();
        const int64_t cell_count = rows * channels;
        if (packed_size == 0) {
            unbacked_cells += cell_count;
            if (unbacked_cells > MAX_UNBACKED_CELLS) return false;
        } else if (cell_count > reader.bytes_left()) {
            // Every packed cell takes at least one byte: this is not a pattern.
            return false;
        }
        pattern->rows = rows;
        pattern->blank = 1;
        if (cell_count == 0) continue;  // 0 rows: a pattern without cells
        pattern->cells = new (std::nothrow) Cell[static_cast<size_t>(cell_count)]{};
        if (pattern->cells == nullptr) return false;
        if (packed_size != 0) {
            read_pattern_cells(reader, pattern, cell_count);
            const Cell* cells = pattern->cells;
            const Cell* end = cells + cell_count;
            pattern->blank = std::all_of(cells, end,
                                         [](const Cell& c) {
                                             return c.note == 0 && c.instrument == 0 &&
                                                    c.volume == 0 && c.effect == 0 &&
                                                    c.parameter == 0;
                                         })
                                 ? 1
                                 : 0;
        }
        // The next header lies packed_size bytes on, however many the cells took.
        reader.seek_to(cells_start + packed_size);
    }

    for (int32_t p = file_patterns; p < song->patterns_used; ++p) {
        const int64_t cell_count = MISSING_PATTERN_ROWS * channels;
        unbacked_cells += cell_count;
        if (unbacked_cells > MAX_UNBACKED_CELLS) return false;
        song->patterns[p].rows = MISSING_PATTERN_ROWS;
        song->patterns[p].blank = 1;
        song->patterns[p].cells = new (std::nothrow) Cell[static_cast<size_t>(cell_count)]{};
        if (song->patterns[p].cells == nullptr) return false;
    }
    return true;
}

void read_envelope(Reader& reader, EnvelopePoint* points)
{
    for (int32_t i = 0; i < MAX_ENVELOPE_POINTS; ++i) {
        points[i].tick = reader.read_u16le();
        points[i].value = reader.read_u16le();
    }
}

// The instrument's fields after its sample count; returns the sample header size it gives.
uint32_t read_instrument_header(Reader& reader, Instrument* instrument)
{
    const uint32_t sample_header_size = reader.read_u32le();
    reader.bytes(instrument->note_sample, 96);
    read_envelope(reader, instrument->volume_envelope);
    read_envelope(reader, instrument->panning_envelope);
    instrument->volume_points = reader.read_u8();
    instrument->panning_points = reader.read_u8();
    instrument->volume_sustain = reader.read_u8();
    instrument->volume_loop_start = reader.read_u8();
    instrument->volume_loop_end = reader.read_u8();
    instrument->panning_sustain = reader.read_u8();
    instrument->panning_loop_start = reader.read_u8();
    instrument->panning_loop_end = reader.read_u8();
    instrument->volume_type = reader.read_u8();
    instrument->panning_type = reader.read_u8();
    instrument->vibrato_type = reader.read_u8();
    instrument->vibrato_sweep = reader.read_u8();
    instrument->vibrato_depth = reader.read_u8();
    instrument->vibrato_rate = reader.read_u8();
    instrument->fadeout = static_cast<uint16_t>(reader.read_u16le() << 1);
    if (instrument->volume_points < 2) instrument->volume_type = 0;
    if (instrument->panning_points < 2) instrument->panning_type = 0;
    const auto at_most = [](uint8_t* value, int32_t limit) {
        *value = static_cast<uint8_t>(std::min<int32_t>(*value, limit));
    };
    at_most(&instrument->volume_points, MAX_ENVELOPE_POINTS);
    at_most(&instrument->panning_points, MAX_ENVELOPE_POINTS);
    for (uint8_t* point : {&instrument->volume_sustain, &instrument->volume_loop_start,
                           &instrument->volume_loop_end, &instrument->panning_sustain,
                           &instrument->panning_loop_start, &instrument->panning_loop_end}) {
        at_most(point, MAX_ENVELOPE_POINTS - 1);
    }
    return sample_header_size;
}

Sample* read_sample_header(Reader& reader, bool* adpcm)
{
    Sample* sample = new (std::nothrow) Sample{};
    if (sample == nullptr) return nullptr;
    sample->loop_saved = LOOP_SAVED_NONE;
    sample->length = reader.read_u32le();
    sample->loop_start = reader.read_u32le();
    sample->loop_length = reader.read_u32le();
    sample->volume = std::min<uint8_t>(reader.read_u8(), 64);
    sample->finetune = static_cast<int8_t>(reader.read_u8());
    sample->loop_kind = LOOP_NONE;
    sample->bits = 8;
    const uint8_t type = reader.read_u8();
    if (type & SAMPLE_TYPE_FORWARD_LOOP) sample->loop_kind = LOOP_FORWARD;
    if (type & SAMPLE_TYPE_PINGPONG_LOOP) sample->loop_kind = LOOP_PINGPONG;
    if (type & SAMPLE_TYPE_SIXTEEN_BIT) sample->bits = 16;
    if (sample->loop_kind == LOOP_NONE) {
        sample->loop_start = 0;
        sample->loop_length = sample->length;
    }
    if (sample->bits == 16) {
        sample->length /= 2;
        sample->loop_start /= 2;
        sample->loop_length /= 2;
    }
    if (sample->loop_length == 0) {
        sample->loop_start = 0;
        sample->loop_length = sample->length;
        sample->loop_kind = LOOP_NONE;
    }
    fit_loop(sample);
    sample->panning = reader.read_u8();
    sample->relative_note = static_cast<int8_t>(reader.read_u8());
    *adpcm = reader.read_u8() == ADPCM_MARK && sample->bits == 8;
    reader.skip(22);  // name
    return sample;
}

// ADPCM-packed frames: the delta table, then a nibble per frame (low nibble first) choosing
// the delta added to a running byte. `raw` holds 2 * length + 16 bytes: the packed bytes are
// read behind the frames' place and decoded to plain bytes in front of them.
void read_adpcm(Reader& reader, uint8_t* raw, uint32_t length)
{
    int8_t deltas[ADPCM_TABLE_SIZE] = {};
    reader.bytes(deltas, ADPCM_TABLE_SIZE);
    const uint8_t* packed = raw + length;
    reader.bytes(raw + length, static_cast<int32_t>((int64_t{length} + 1) / 2));
    uint8_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t nibble = (packed[i / 2] >> (4 * (i & 1))) & 0x0F;
        value = static_cast<uint8_t>(value + deltas[nibble]);
        raw[i] = value;
    }
}

// Reads the sample's frames and turns them into plain signed 16-bit data with the frame
// after the loop end patched for the mixer's interpolation.
bool read_sample_data(Song* song, Reader& reader, Sample* sample, int32_t instrument_index,
                      int32_t sample_index, bool adpcm)
{
    const int64_t bytes_per_frame = sample->bits / 8;
    // A header may claim gigabytes; a sample holds at most what the file still has.
    const int64_t frames_in_file =
        adpcm ? std::max<int64_t>(0, reader.bytes_left() - ADPCM_TABLE_SIZE) * 2
              : reader.bytes_left() / bytes_per_frame;
    if (sample->length > frames_in_file) {
        sample->length = static_cast<uint32_t>(frames_in_file);
        fit_loop(sample);
    }
    const uint32_t length = sample->length;
    if (length == 0) return true;

    const int64_t byte_count = bytes_per_frame * length;
    const int64_t file_bytes = adpcm ? ADPCM_TABLE_SIZE + (int64_t{length} + 1) / 2 : byte_count;
    int16_t* data = new (std::nothrow) int16_t[static_cast<size_t>(length) + 8]{};
    if (data == nullptr) return false;
    sample->data = data;
    uint8_t* raw = reinterpret_cast<uint8_t*>(data);

    if (song->sample_reader != nullptr) {
        song->sample_reader(raw, static_cast<int32_t>(byte_count), sample->bits, instrument_index,
                            sample_index);
        reader.skip(file_bytes);
    } else if (adpcm) {
        read_adpcm(reader, raw, length);
    } else {
        reader.bytes(raw, static_cast<int32_t>(byte_count));
    }

    if (sample->bits == 8) {
        // In place from the end: frame i lives at bytes 2i..2i+1, never below byte i.
        for (uint32_t i = length; i-- > 0;) {
            data[i] = static_cast<int16_t>(static_cast<uint16_t>(raw[i] << 8));
        }
        sample->bits = 16;
    } else {
        for (uint32_t i = 0; i < length; ++i) {
            data[i] =
                static_cast<int16_t>(static_cast<uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8)));
        }
    }

    if (song->sample_reader == nullptr && !adpcm) {
        uint16_t sum = 0;
        for (uint32_t i = 0; i < length; ++i) {
            sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(data[i]));
            data[i] = static_cast<int16_t>(sum);
        }
    }

    const uint32_t loop_end = sample->loop_start + sample->loop_length;  // <= length
    if (sample->loop_saved != LOOP_SAVED_NONE)
        data[loop_end] = static_cast<int16_t>(sample->loop_saved);
    sample->loop_saved = data[loop_end];
    data[loop_end] =
        sample->loop_kind == LOOP_PINGPONG ? data[loop_end - 1] : data[sample->loop_start];
    sample_unroll_loop(sample);
    return true;
}

// The instrument header and its sample headers, without the data. Null `instrument`: a
// surplus instrument, stepped over.
bool read_instrument_headers(Reader& reader, Instrument* instrument, bool* adpcm)
{
    const int64_t start = reader.tell();
    uint32_t header_size = reader.read_u32le();
    if (header_size == 0 || header_size > FULL_INSTRUMENT_HEADER)
        header_size = FULL_INSTRUMENT_HEADER;
    reader.skip(23);  // name and type
    uint16_t sample_count = reader.read_u16le();
    // No tracker writes more than 32; such a count is damage, and the instrument stays empty
    // rather than the file refused (a peer plays such files).
    if (sample_count > MAX_SAMPLES) sample_count = 0;
    if (instrument == nullptr) {
        const int64_t sample_header_size =
            sample_count != 0 ? std::max<int64_t>(reader.read_u32le(), SAMPLE_HEADER_SIZE) : 0;
        reader.seek_to(start + header_size + sample_count * sample_header_size);
        return true;
    }
    instrument->sample_count = sample_count;
    for (int32_t k = sample_count; k < MAX_SAMPLES; ++k) instrument->samples[k] = &empty_sample;
    if (sample_count == 0) {
        reader.seek_to(start + header_size);
        return true;
    }
    const uint32_t sample_header_size = read_instrument_header(reader, instrument);
    reader.seek_to(start + header_size);
    for (int32_t k = 0; k < sample_count; ++k) {
        const int64_t sample_start = reader.tell();
        instrument->samples[k] = read_sample_header(reader, &adpcm[k]);
        if (instrument->samples[k] == nullptr) return false;
        // Headers longer than the usual 40 bytes carry more after the name.
        if (sample_header_size > SAMPLE_HEADER_SIZE)
            reader.seek_to(sample_start + sample_header_size);
    }
    return true;
}

bool read_instrument_data(Song* song, Reader& reader, int32_t index, const bool* adpcm)
{
    Instrument* instrument = &song->instruments[index];
    for (int32_t k = 0; k < instrument->sample_count; ++k) {
        if (!read_sample_data(song, reader, instrument->samples[k], index, k, adpcm[k]))
            return false;
    }
    return true;
}

// From version 1.04 on each instrument's data follows its headers; before, only the headers
// are read here (of every instrument in the file, to reach the patterns behind them).
bool read_instruments(Song* song, Reader& reader, uint16_t file_instruments,
                      bool data_with_instrument, PackedSamples& adpcm)
{
    if (song->instrument_count == 0) return true;
    song->instruments =
        new (std::nothrow) Instrument[static_cast<size_t>(song->instrument_count)]{};
    if (song->instruments == nullptr) {
        song->instrument_count = 0;
        return false;
    }
    for (int32_t i = 0; i < song->instrument_count; ++i) {
        if (!read_instrument_headers(reader, &song->instruments[i], adpcm[i])) return false;
        if (data_with_instrument && !read_instrument_data(song, reader, i, adpcm[i])) return false;
    }
    if (data_with_instrument) return true;
    for (int32_t i = song->instrument_count; i < file_instruments; ++i) {
        if (!read_instrument_headers(reader, nullptr, nullptr)) return false;
    }
    return true;
}

}  // namespace

bool xm_parse(Song* song, Stream* stream)
{
    if (song == nullptr || stream == nullptr) return false;
    Reader reader(stream);

    char signature[SIGNATURE_LENGTH] = {};
    reader.bytes(signature, SIGNATURE_LENGTH);
    if (std::memcmp(signature, SIGNATURE, SIGNATURE_LENGTH) != 0) return false;

    song->tick_handler = replay_tick;
    song->initial_global_volume = 64;

    reader.seek_to(VERSION_AT);
    const uint16_t version = reader.read_u16le();
    if (version < XM_OLDEST_VERSION) return false;
    const uint32_t header_size = reader.read_u32le();
    const uint16_t song_length = reader.read_u16le();
    const uint16_t restart_position = reader.read_u16le();
    const uint16_t channel_count = reader.read_u16le();
    const uint16_t file_patterns = reader.read_u16le();
    const uint16_t instrument_count = reader.read_u16le();
    song->flags = reader.read_u16le();
    // Out of FT2's ranges a tempo means nothing FT2 could play; a BPM of thousands would only
    // make a song's ticks too short to measure its length in reasonable time.
    song->default_speed =
        static_cast<int16_t>(std::clamp<int32_t>(reader.read_u16le(), MIN_SPEED, MAX_SPEED));
    song->default_bpm =
        static_cast<int16_t>(std::clamp<int32_t>(reader.read_u16le(), MIN_BPM, MAX_BPM));
    reader.bytes(song->order_table, MAX_ORDERS);
    reader.seek_to(60 + static_cast<int64_t>(header_size));

    if (channel_count == 0 || channel_count > MAX_CHANNELS) return false;
    song->channel_count = static_cast<int16_t>(channel_count);
    song->song_length = static_cast<int16_t>(std::clamp<int32_t>(song_length, 1, MAX_ORDERS));
    song->restart_position =
        static_cast<int16_t>(restart_position < song->song_length ? restart_position : 0);
    song->instrument_count =
        static_cast<int16_t>(std::min<int32_t>(instrument_count, MAX_INSTRUMENTS));

    PackedSamples adpcm{};
    if (version >= VERSION_DATA_WITH_INSTRUMENT) {
        if (!read_patterns(song, reader, file_patterns, false)) return false;
        return read_instruments(song, reader, instrument_count, true, adpcm);
    }
    if (!read_instruments(song, reader, instrument_count, false, adpcm)) return false;
    if (!read_patterns(song, reader, file_patterns, version == VERSION_ONE_BYTE_ROWS)) return false;
    for (int32_t i = 0; i < song->instrument_count; ++i) {
        if (!read_instrument_data(song, reader, i, adpcm[i])) return false;
    }
    return true;
}

Song* song_load(const char* name, SampleReader sample_reader)
{
    Song* song = new (std::nothrow) Song{};
    if (song == nullptr) return nullptr;
    list_init(song);
    Stream* stream = stream_open(name, 0, 0);
    if (stream == nullptr) {
        delete song;
        return nullptr;
    }
    song->sample_reader = sample_reader;
    const bool parsed = xm_parse(song, stream);
    stream_close(stream);
    if (!parsed) {
        song_free(song);
        return nullptr;
    }
    return song;
}

bool song_free(Song* song)
{
    // From a tick handler the chunk being filled would go on with the freed song.
    if (song == nullptr || filling_chunk_here()) return false;
    MixerExclusion exclusion;
    song_stop(song);
    // Nobody reads the position of a song that is gone.
    forget_music_song(song);
    if (song->instruments != nullptr) {
        for (int32_t i = 0; i < song->instrument_count; ++i) {
            Instrument* instrument = &song->instruments[i];
            for (int32_t k = 0; k < instrument->sample_count && k < MAX_SAMPLES; ++k) {
                sample_free(instrument->samples[k]);
            }
        }
        delete[] song->instruments;
    }
    if (song->patterns != nullptr) {
        for (int32_t p = 0; p < song->pattern_slots; ++p) delete[] song->patterns[p].cells;
        delete[] song->patterns;
    }
    delete song;
    return true;
}

void sample_free(Sample* sample)
{
    if (sample == nullptr || sample == &empty_sample) return;
    MixerExclusion exclusion;
    delete[] sample->data;
    delete[] sample->unrolled;
    delete sample;
}

}  // namespace player
