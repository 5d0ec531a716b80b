// wav.h -- writing 16-bit stereo PCM as a RIFF/WAVE file
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace xmplay {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file with a header for `rate` frames per second. False with errno set.
    bool open(const std::string& path, int32_t rate);
    bool write(const int16_t* frames, uint32_t count);  // interleaved left, right
    // Puts the final sizes in the header and closes the file.
    bool finish();

private:
    std::FILE* file_ = nullptr;
    int32_t rate_ = 0;
    uint64_t frames_ = 0;
};

// The 44-byte header of a PCM file of `frames` 16-bit stereo frames.
void wav_header(uint8_t header[44], int32_t rate, uint64_t frames);

}  // namespace xmplay
