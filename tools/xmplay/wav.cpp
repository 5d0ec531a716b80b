// wav.cpp -- writing 16-bit stereo PCM as a RIFF/WAVE file

#include "wav.h"

#include <bit>
#include <cstring>
#include <vector>

namespace xmplay {

namespace {

void put_u16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put_u32(uint8_t* at, uint32_t value)
{
    put_u16(at, value & 0xFFFF);
    put_u16(at + 2, value >> 16);
}

}  // namespace

void wav_header(uint8_t header[44], int32_t rate, uint64_t frames)
{
    // RIFF sizes are 32-bit: a longer render is written, but its sizes are cut to the maximum.
    const uint64_t data = frames * 4;
    const uint32_t data_size = data > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(data);
    std::memcpy(header, "RIFF", 4);
    put_u32(header + 4, 36 + data_size);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32(header + 16, 16);
    put_u16(header + 20, 1);  // PCM
    put_u16(header + 22, 2);
    put_u32(header + 24, static_cast<uint32_t>(rate));
    put_u32(header + 28, static_cast<uint32_t>(rate) * 4);
    put_u16(header + 32, 4);
    put_u16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put_u32(header + 40, data_size);
}

WavWriter::~WavWriter()
{
    if (file_ != nullptr) std::fclose(file_);
}

bool WavWriter::open(const std::string& path, int32_t rate)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    rate_ = rate;
    frames_ = 0;
    uint8_t header[44];
    wav_header(header, rate, 0);
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
}

bool WavWriter::write(const int16_t* frames, uint32_t count)
{
    if (file_ == nullptr) return false;
    frames_ += count;
    if constexpr (std::endian::native == std::endian::little) {
        return std::fwrite(frames, 4, count, file_) == count;
    } else {
        std::vector<uint8_t> bytes(static_cast<size_t>(count) * 4);
        for (size_t i = 0; i < static_cast<size_t>(count) * 2; ++i) {
            put_u16(&bytes[i * 2], static_cast<uint16_t>(frames[i]));
        }
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
}

bool WavWriter::finish()
{
    if (file_ == nullptr) return false;
    uint8_t header[44];
    wav_header(header, rate_, frames_);
    bool ok = std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof header, file_) == sizeof header;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

}  // namespace xmplay
