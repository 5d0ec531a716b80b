// wav.h -- writing 16-bit stereo PCM as a RIFF/WAVE file
#pragma once
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace offline {

// The file is written on a thread of its own, a block at a time, so the kernel's copying of the
// data overlaps the mixing of the next block instead of adding to it.
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file with a header for `rate` frames per second. False with errno set.
    bool open(const std::string& path, int32_t rate);
    // Interleaved left, right. False with errno set once a write has failed; a failure can
    // show a few blocks late, and at the latest from finish.
    bool write(const int16_t* frames, uint32_t count);
    // Writes what is left, puts the final sizes in the header and closes the file.
    bool finish();

private:
    using Block = std::vector<uint8_t>;
    static constexpr size_t BLOCK_BYTES = size_t{1} << 20;
    static constexpr size_t QUEUED_BLOCKS = 4;  // how far the mixing may run ahead of the disk

    void hand_over();  // queues the filling block
    void write_blocks();
    bool stop_writer();  // false with errno set when any write failed

    std::FILE* file_ = nullptr;
    int32_t rate_ = 0;
    uint64_t frames_ = 0;
    Block filling_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> queue_;
    std::vector<Block> spare_;
    bool closing_ = false;
    int error_ = 0;  // errno of the first failed write
    std::thread writer_;
};

// The 44-byte header of a PCM file of `frames` 16-bit stereo frames.
void wav_header(uint8_t header[44], int32_t rate, uint64_t frames);

}  // namespace offline
