// files.h -- reading a whole file in the tests that compare what programs write

#pragma once
#include <cstdio>
#include <string>

namespace test_support {

// The file's bytes; empty when it cannot be read.
inline std::string slurp(const std::string& path)
{
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char block[65536];
        size_t n = 0;
        while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
        std::fclose(file);
    }
    return bytes;
}

}  // namespace test_support
