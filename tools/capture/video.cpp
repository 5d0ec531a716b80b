// video.cpp -- ffmpeg as a child process

#include "video.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace capture {

namespace {

// Runs `arguments` with its standard input on a new pipe (when `input` is not null) and its
// standard output on /dev/null. The child's pid, or -1.
int spawn(const std::vector<std::string>& arguments, int* input)
{
    int fds[2] = {-1, -1};
    if (input != nullptr && pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (input != nullptr) {
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
            close(fds[1]);
        }
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (input != nullptr) {
        close(fds[0]);
        if (pid < 0) {
            close(fds[1]);
        } else {
            *input = fds[1];
        }
    }
    return pid;
}

bool wait_ok(int pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Same input, same bytes: no encoder tags or times that differ from run to run.
const std::vector<std::string> BITEXACT = {"-fflags",  "+bitexact", "-flags:v",      "+bitexact",
                                           "-flags:a", "+bitexact", "-map_metadata", "-1"};

}  // namespace

bool on_path(const char* program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t colon = folders.find(':', start);
        const std::string folder =
            folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return false;
}

VideoWriter::~VideoWriter()
{
    if (pipe_ >= 0) close(pipe_);
    if (pid_ > 0) wait_ok(pid_);
    if (!picture_path_.empty()) std::remove(picture_path_.c_str());
    if (!sound_path_.empty()) std::remove(sound_path_.c_str());
}

bool VideoWriter::open(const std::string& path, const std::string& frames_per_second, int32_t scale,
                       VideoQuality quality, std::string& error)
{
    if (!on_path("ffmpeg")) {
        error = "ffmpeg is not on PATH (--video needs it; on Debian: apt-get install ffmpeg)";
        return false;
    }
    path_ = path;
    picture_path_ = path + ".picture.mp4";
    sound_path_ = path + ".sound.wav";
    if (!sound_.open(sound_path_, 44100)) {
        error = sound_path_ + ": " + std::strerror(errno);
        sound_path_.clear();
        return false;
    }
    // A pipe closing early must come back as a failed write, not end the program.
    signal(SIGPIPE, SIG_IGN);
    // Nearest-neighbour to 4:3: the 320 x 200 frame filled a 4:3 monitor, and the pixels stay
    // sharp. The whole show at 640 x 480 and "good" encodes in about its own length on two
    // busy cores and comes to about 170 MB; "best" at 1280 x 960 takes ten times as long.
    const std::string size = std::to_string(320 * scale) + ":" + std::to_string(240 * scale);
    const char* preset = quality == VideoQuality::DRAFT  ? "ultrafast"
                         : quality == VideoQuality::GOOD ? "superfast"
                                                         : "fast";
    const char* crf = quality == VideoQuality::DRAFT  ? "26"
                      : quality == VideoQuality::GOOD ? "23"
                                                      : "18";
    std::vector<std::string> arguments = {"ffmpeg",
                                          "-nostdin",
                                          "-hide_banner",
                                          "-loglevel",
                                          "error",
                                          "-y",
                                          "-f",
                                          "rawvideo",
                                          "-pixel_format",
                                          "rgb565le",
                                          "-video_size",
                                          "320x200",
                                          "-framerate",
                                          frames_per_second,
                                          "-i",
                                          "-",
                                          "-vf",
                                          "scale=" + size + ":flags=neighbor,setsar=1",
                                          "-c:v",
                                          "libx264",
                                          "-preset",
                                          preset,
                                          "-crf",
                                          crf,
                                          "-pix_fmt",
                                          "yuv420p"};
    arguments.insert(arguments.end(), BITEXACT.begin(), BITEXACT.end());
    arguments.push_back(picture_path_);
    pid_ = spawn(arguments, &pipe_);
    if (pid_ < 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool VideoWriter::write_frame(const uint16_t* pixels)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    size_t left = 320 * 200 * 2;
    while (left > 0) {
        const ssize_t written = write(pipe_, bytes, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

bool VideoWriter::write_audio(const int16_t* frames, uint32_t count)
{
    return sound_.write(frames, count);
}

bool VideoWriter::finish(std::string& error)
{
    close(pipe_);
    pipe_ = -1;
    const bool pictures = wait_ok(pid_);
    pid_ = -1;
    if (!pictures) {
        error = "ffmpeg could not encode the pictures";
        return false;
    }
    if (!sound_.finish()) {
        error = sound_path_ + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> arguments = {
        "ffmpeg", "-nostdin",    "-hide_banner", "-loglevel", "error", "-y",
        "-i",     picture_path_, "-i",           sound_path_, "-map",  "0:v",
        "-map",   "1:a",         "-c:v",         "copy",      "-c:a",  "aac",
        "-b:a",   "192k",        "-threads",     "1"};
    arguments.insert(arguments.end(), BITEXACT.begin(), BITEXACT.end());
    arguments.push_back(path_);
    const int mux = spawn(arguments, nullptr);
    if (mux < 0 || !wait_ok(mux)) {
        error = "ffmpeg could not put the sound with the pictures";
        return false;
    }
    return true;
}

}  // namespace capture
