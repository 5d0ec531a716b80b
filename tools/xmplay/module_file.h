// module_file.h -- reading an XM file from disk, its header facts, and loading it as a song
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/player.h"

namespace xmplay {

struct ModuleFile {
    std::vector<uint8_t> bytes;
    // From the module header as stored (the song record keeps no name or file pattern count).
    std::string name;
    int32_t patterns = 0;
};

// Reads the whole file. False with `reason` set ("not found", "not an XM module (…)", …).
bool read_module_file(const std::string& path, ModuleFile& module, std::string& reason);

// Takes a whole file's bytes as read_module_file does (the browser's player gets them from
// the page). False with `reason` set when they are not an XM module.
bool module_from_bytes(std::vector<uint8_t> bytes, ModuleFile& module, std::string& reason);

// Loads the bytes with the player's loader through the memory stream and checks that the
// song can be played. Null with `reason` set ("damaged (…)") otherwise.
player::Song* load_song(const ModuleFile& module, std::string& reason);

// The name for a terminal: anything but printable ASCII becomes '?', so that a module cannot
// send control sequences to the user's terminal.
std::string printable(const std::string& text);

// The name as JSON wants it: quotes, backslashes, control characters and bytes above 127
// (taken as Latin-1) escaped.
std::string json_string(const std::string& text);

}  // namespace xmplay
