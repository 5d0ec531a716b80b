// options.h -- xmplay's command line
#pragma once
#include <cstdint>
#include <string>

#include "player/player.h"

namespace xmplay {

enum class Mode { PLAY, WAV, INFO, ROWS, HELP, VERSION };

struct Options {
    Mode mode = Mode::PLAY;
    std::string file;
    std::string wav_path;
    bool loop = false;
    bool has_seconds = false;
    double seconds = 0;  // 0..MAX_SECONDS
    int32_t rate = 44100;
    player::Rules rules = player::Rules::FT2;  // --rules ft2|show
};

// False with `error` set (one line) on bad usage.
bool parse_options(int argc, const char* const* argv, Options& options, std::string& error);
const char* usage_text();
const char* version_text();
const char* rules_name(player::Rules rules);  // "ft2" or "show"  // "xmplay VERSION" and a newline

}  // namespace xmplay
