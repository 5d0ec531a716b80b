// wav.h -- writing 16-bit stereo PCM as a RIFF/WAVE file
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace offline {

// A plain writer: the frames are gathered into large blocks and each block is written as it
// fills, on the caller's thread. One writer may write several files in turn.
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();  // finishes an open file
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file with a header for `rate` frames per second. A file still open is
    // finished first. False with errno set.
    bool open(const std::string& path, int32_t rate);
    // Interleaved left, right. False with errno set once a write has failed (and for every
    // later write); the last block's failure shows at finish.
    bool write(const int16_t* frames, uint32_t count);
    // Writes what is left, puts the final sizes in the header and closes the file. False with
    // errno set when anything failed, or when no file is open.
    bool finish();
    bool is_open() const { return file_ != nullptr; }

private:
    // 1.5 s of 44.1 kHz sound: few enough writes that their cost does not show.
    static constexpr size_t BLOCK_BYTES = size_t{256} << 10;

    bool write_block();

    std::FILE* file_ = nullptr;
    int32_t rate_ = 0;
    uint64_t frames_ = 0;
    int error_ = 0;  // errno of the first failed write
    std::vector<uint8_t> block_;
};

// The 44-byte header of a PCM file of `frames` 16-bit stereo frames.
void wav_header(uint8_t header[44], int32_t rate, uint64_t frames);

}  // namespace offline
