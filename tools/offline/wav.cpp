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
    stop_writer();
    if (file_ != nullptr) std::fclose(file_);
}

bool WavWriter::open(const std::string& path, int32_t rate)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    // Blocks arrive whole; the stream's own buffer would only copy them once more.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    rate_ = rate;
    frames_ = 0;
    uint8_t header[44];
    wav_header(header, rate, 0);
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
        const int failure = errno;
        std::fclose(file_);
        file_ = nullptr;
        errno = failure;
        return false;
    }
    filling_.reserve(BLOCK_BYTES);
    writer_ = std::thread([this] { write_blocks(); });
    return true;
}

bool WavWriter::write(const int16_t* frames, uint32_t count)
{
    if (file_ == nullptr) return false;
    {
        std::lock_guard lock(mutex_);
        if (error_ != 0) {
            errno = error_;
            return false;
        }
    }
    frames_ += count;
    const size_t bytes = static_cast<size_t>(count) * 4;
    const size_t at = filling_.size();
    filling_.resize(at + bytes);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(filling_.data() + at, frames, bytes);
    } else {
        for (size_t i = 0; i < static_cast<size_t>(count) * 2; ++i) {
            put_u16(&filling_[at + i * 2], static_cast<uint16_t>(frames[i]));
        }
    }
    if (filling_.size() >= BLOCK_BYTES) hand_over();
    return true;
}

void WavWriter::hand_over()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < QUEUED_BLOCKS; });
    queue_.push_back(std::move(filling_));
    if (spare_.empty()) {
        filling_ = Block();
        filling_.reserve(BLOCK_BYTES);
    } else {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
        filling_.clear();
    }
    changed_.notify_all();
}

void WavWriter::write_blocks()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        Block block = std::move(queue_.front());
        queue_.pop_front();
        const bool skip = error_ != 0;  // after a failure the rest is only drained
        lock.unlock();
        const bool ok = skip || std::fwrite(block.data(), 1, block.size(), file_) == block.size();
        const int failure = ok ? 0 : (errno != 0 ? errno : EIO);
        lock.lock();
        if (!ok && error_ == 0) error_ = failure;
        spare_.push_back(std::move(block));
        changed_.notify_all();
    }
}

bool WavWriter::stop_writer()
{
    if (!writer_.joinable()) return true;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    writer_.join();
    if (error_ != 0) {
        errno = error_;
        return false;
    }
    return true;
}

bool WavWriter::finish()
{
    if (file_ == nullptr) return false;
    if (!filling_.empty()) hand_over();
    bool ok = stop_writer();
    int failure = ok ? 0 : errno;
    uint8_t header[44];
    wav_header(header, rate_, frames_);
    if (ok && (std::fseek(file_, 0, SEEK_SET) != 0 ||
               std::fwrite(header, 1, sizeof header, file_) != sizeof header)) {
        ok = false;
        failure = errno;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    file_ = nullptr;
    if (!ok) errno = failure;
    return ok;
}

}  // namespace offline
