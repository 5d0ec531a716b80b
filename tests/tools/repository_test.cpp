// repository_test.cpp -- what the repository must hold together: the programs under tools/
// reach the player and the platform through their public headers only (so that a change
// inside the replay or a backend cannot quietly change what xmplay or the capture report),
// and every picture the README shows is in the repository

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#ifndef SOURCE_DIR
#error SOURCE_DIR must name the source tree
#endif

namespace {

namespace fs = std::filesystem;

// The player's one header, the interface headers of the platform and each backend's own.
const std::set<std::string> PUBLIC_HEADERS = {
    "player/player.h",        "platform/audio.h",         "platform/input.h",
    "platform/video.h",       "platform/window.h",        "platform/headless/headless.h",
    "platform/sdl/options.h", "platform/sdl/sdl_audio.h", "platform/virtual/virtual_audio.h",
    "platform/web/web.h",     "platform/web/web_audio.h", "platform/win32/wave_out.h",
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
        const bool writes_modules =
            MODULE_WRITERS.count(fs::path(file).parent_path().generic_string()) != 0;
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

// The targets of the README's ![text](target) images.
std::vector<std::string> readme_pictures(const std::string& readme)
{
    std::vector<std::string> pictures;
    for (size_t at = readme.find("!["); at != std::string::npos; at = readme.find("![", at + 2)) {
        const size_t open = readme.find("](", at);
        const size_t close = open == std::string::npos ? open : readme.find(')', open);
        if (close == std::string::npos) break;
        pictures.push_back(readme.substr(open + 2, close - open - 2));
    }
    return pictures;
}

// A picture that is on disk but not in the repository shows on no clone's front page (once
// every one of them was kept out by a pattern in .gitignore).
TEST(Readme, EveryPictureItShowsIsInTheRepository)
{
    const std::filesystem::path root = SOURCE_DIR;
    std::ifstream in(root / "README.md");
    std::string readme, line;
    while (std::getline(in, line)) readme += line + "\n";
    const std::vector<std::string> pictures = readme_pictures(readme);
    EXPECT_GE(pictures.size(), 8u);
    const bool in_git =
        std::filesystem::exists(root / ".git") && std::system("git --version >/dev/null 2>&1") == 0;
    for (const std::string& picture : pictures) {
        EXPECT_EQ(picture.find("://"), std::string::npos)
            << picture << " is not a file of the repository";
        EXPECT_TRUE(std::filesystem::is_regular_file(root / picture)) << picture;
        if (!in_git) continue;
        const std::string command = "git -C '" + root.string() + "' ls-files --error-unmatch -- '" +
                                    picture + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << picture << " is not tracked by git";
    }
}

}  // namespace
