// wav.cpp -- writing 16-bit stereo PCM as a RIFF/WAVE file

#include "tools/offline/wav.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

namespace offline {

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
    const uint32_t data_size =
        data > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(data);
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
    if (file_ != nullptr) finish();
}

bool WavWriter::open(const std::string& path, int32_t rate)
{
    if (file_ != nullptr) finish();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    // Blocks arrive whole; the stream's own buffer would only copy them once more.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    rate_ = rate;
    frames_ = 0;
    error_ = 0;
    block_.clear();
    block_.reserve(BLOCK_BYTES);
    uint8_t header[44];
    wav_header(header, rate, 0);
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
        const int failure = errno;
        std::fclose(file_);
        file_ = nullptr;
        errno = failure;
        return false;
    }
    return true;
}

bool WavWriter::write_block()
{
    if (error_ == 0 && !block_.empty() &&
        std::fwrite(block_.data(), 1, block_.size(), file_) != block_.size()) {
        error_ = errno != 0 ? errno : EIO;
    }
    block_.clear();
    return error_ == 0;
}

bool WavWriter::write(const int16_t* frames, uint32_t count)
{
    if (file_ == nullptr) {
        errno = EBADF;
        return false;
    }
    if (error_ != 0) {
        errno = error_;
        return false;
    }
    frames_ += count;
    const size_t bytes = static_cast<size_t>(count) * 4;
    if constexpr (std::endian::native == std::endian::little) {
        // Appended as they are: resizing first would clear every byte only to overwrite it.
        const auto* data = reinterpret_cast<const uint8_t*>(frames);
        block_.insert(block_.end(), data, data + bytes);
    } else {
        const size_t at = block_.size();
        block_.resize(at + bytes);
        for (size_t i = 0; i < static_cast<size_t>(count) * 2; ++i) {
            put_u16(&block_[at + i * 2], static_cast<uint16_t>(frames[i]));
        }
    }
    if (block_.size() >= BLOCK_BYTES && !write_block()) {
        errno = error_;
        return false;
    }
    return true;
}

bool WavWriter::finish()
{
    if (file_ == nullptr) {
        errno = EBADF;
        return false;
    }
    write_block();
    int failure = error_;
    uint8_t header[44];
    wav_header(header, rate_, frames_);
    if (failure == 0 && (std::fseek(file_, 0, SEEK_SET) != 0 ||
                         std::fwrite(header, 1, sizeof header, file_) != sizeof header)) {
        failure = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file_) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    file_ = nullptr;
    block_.clear();
    if (failure != 0) errno = failure;
    return failure == 0;
}

}  // namespace offline
