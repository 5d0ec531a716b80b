// modes.h -- what xmplay does with a loaded song, one function per mode; each returns the
// process's exit code and reports its own failures in one line
#pragma once
#include "module_file.h"
#include "options.h"

namespace xmplay {

int run_info(player::Song* song, const ModuleFile& module, const Options& options);
int run_rows(player::Song* song, const Options& options);
int run_wav(player::Song* song, const Options& options);
int run_play(player::Song* song, const ModuleFile& module, const Options& options);

// "xmplay: FILE: REASON" on stderr.
void report(const std::string& file, const std::string& reason);
// Frames the song plays for: --seconds, or up to its end (at most 20 minutes).
uint64_t song_frames(player::Song* song, const Options& options);

}  // namespace xmplay
