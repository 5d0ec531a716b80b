// video.h -- an MP4 of the show through ffmpeg: the frames piped in as they come, the sound
// kept aside and muxed in at the end
#pragma once
#include <cstdint>
#include <string>

#include "options.h"
#include "tools/offline/wav.h"

namespace capture {

// Whether `program` is an executable file in one of PATH's folders.
bool on_path(const char* program);

class VideoWriter {
public:
    VideoWriter() = default;
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Starts ffmpeg on 320 x 200 RGB565 frames at `frames_per_second` (a rational "N/K"
    // when frames are skipped), shown at 4:3, `scale` times 320 x 240 with the pixels kept
    // sharp (nearest neighbour). False with `error` set.
    bool open(const std::string& path, const std::string& frames_per_second, int32_t scale,
              VideoQuality quality, std::string& error);
    bool write_frame(const uint16_t* pixels);
    bool write_audio(const int16_t* frames, uint32_t count);
    // Ends the picture stream and muxes the sound in as AAC. False with `error` set.
    bool finish(std::string& error);

private:
    std::string path_;
    std::string picture_path_;
    std::string sound_path_;
    int pipe_ = -1;
    int pid_ = -1;
    offline::WavWriter sound_;
};

}  // namespace capture
