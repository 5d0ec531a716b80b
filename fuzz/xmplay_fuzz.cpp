// xmplay_fuzz.cpp -- libFuzzer target: arbitrary bytes as the file of `xmplay --info` and
// `xmplay --rows`, from reading the file to the printed lines

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "modes.h"
#include "module_file.h"
#include "options.h"

namespace {

// The bytes reach xmplay as a file with a path, as they do from the command line, without
// touching the disk.
int file_descriptor = -1;
std::string file_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    file_descriptor = memfd_create("fuzz.xm", 0);
    if (file_descriptor < 0) {
        std::perror("xmplay_fuzz: memfd_create");
        return 1;
    }
    file_path = "/proc/self/fd/" + std::to_string(file_descriptor);
    // The modes print their report lines; libFuzzer's own lines go to stderr.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4u << 20 || ftruncate(file_descriptor, 0) != 0) return 0;
    if (pwrite(file_descriptor, data, size, 0) != static_cast<ssize_t>(size)) return 0;

    xmplay::ModuleFile module;
    std::string reason;
    if (!xmplay::read_module_file(file_path, module, reason)) return 0;
    player::Song* song = xmplay::load_song(module, reason);
    if (song == nullptr) return 0;
    xmplay::Options options;
    options.file = file_path;
    options.mode = xmplay::Mode::INFO;
    xmplay::run_info(song, module, options);
    options.mode = xmplay::Mode::ROWS;
    xmplay::run_rows(song, options);
    player::song_free(song);
    return 0;
}
