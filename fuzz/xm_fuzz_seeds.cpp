// xm_fuzz_seeds.cpp -- writes the test modules as the fuzzer's starting corpus

#include <cstdio>
#include <string>
#include <vector>

#include "tests/player/module_fixtures.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::vector<std::vector<uint8_t>> modules = {
        xmwriter::write(fixtures::rich_module()),
        xmwriter::write(fixtures::sample_module(
            fixtures::make_sample(90, true, xmwriter::SAMPLE_PINGPONG, 0, 90))),
        xmwriter::write(fixtures::sample_module(
            fixtures::make_sample(33, false, xmwriter::SAMPLE_FORWARD, 0, 1))),
    };
    for (size_t i = 0; i < modules.size(); ++i) {
        const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i) + ".xm";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(modules[i].data(), 1, modules[i].size(), file) != modules[i].size()) {
            std::fprintf(stderr, "xm_fuzz_seeds: %s: cannot write\n", path.c_str());
            return 1;
        }
        std::fclose(file);
    }
    return 0;
}
