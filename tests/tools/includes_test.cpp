// includes_test.cpp -- the programs under tools/ reach the player and the platform through
// their public headers only, so that a change inside the replay or a backend cannot quietly
// change what xmplay or the capture report

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#ifndef SOURCE_DIR
#error SOURCE_DIR must name the source tree
#endif

namespace {

namespace fs = std::filesystem;

// The player's one header, the interface headers of the platform and each backend's own.
const std::set<std::string> PUBLIC_HEADERS = {
    "player/player.h",
    "platform/audio.h",
    "platform/input.h",
    "platform/video.h",
    "platform/window.h",
    "platform/headless/headless.h",
    "platform/sdl/options.h",
    "platform/sdl/sdl_audio.h",
    "platform/virtual/virtual_audio.h",
    "platform/win32/wave_out.h",
};
// Programs that write modules use the format's own numbers.
const std::set<std::string> FORMAT_HEADERS = {"player/xm.h", "player/replay/effects.h"};
const std::set<std::string> MODULE_WRITERS = {"tools/assetgen", "tools/xmwriter"};

TEST(ToolIncludes, OnlyPublicPlayerAndPlatformHeaders)
{
    const fs::path root = SOURCE_DIR;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root / "tools")) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) continue;
        ++files;
        const std::string file = fs::relative(entry.path(), root).generic_string();
        const bool writes_modules = MODULE_WRITERS.count(fs::path(file).parent_path().generic_string()) != 0;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("#include \"", 0) != 0) continue;
            const std::string header = line.substr(10, line.find('"', 10) - 10);
            if (header.rfind("player/", 0) != 0 && header.rfind("platform/", 0) != 0) continue;
            const bool allowed = PUBLIC_HEADERS.count(header) != 0 ||
                                 (writes_modules && FORMAT_HEADERS.count(header) != 0);
            EXPECT_TRUE(allowed) << file << " includes " << header;
        }
    }
    EXPECT_GT(files, 20);
}

}  // namespace
