#include "Harness.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

namespace inproc {

double ms(long long ns)
{
    return static_cast<double>(ns) / 1e6;
}

std::string enterScratchFolder()
{
    char pattern[] = "/tmp/dorvel-inproc-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    if (chdir(pattern) != 0)
        throw std::runtime_error("chdir failed");
    std::array<char, 324> bytes {};
    bytes[0] = 1; // sound on
    bytes[1] = 1; // music on
    std::FILE *file = std::fopen("dorvel.cfg", "wb");
    if (!file)
        throw std::runtime_error("cannot write dorvel.cfg");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return pattern;
}

void leaveScratchFolder(const std::string &folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace inproc
