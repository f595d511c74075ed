// Packs files into a resource library, or lists what a library holds.
//
//   respack --out LIBRARY [ID=FILE ...]   pack each FILE as raw-data resource ID (type 10)
//   respack --list LIBRARY                print "type id size" for each resource
//
// The output depends only on the inputs (no time stamps, fixed order, zero
// padding), and it replaces LIBRARY by a rename so a program that has the old
// library mapped keeps reading intact bytes.
#include "resources/ResourceFormat.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

using dorvel::resources::ResourceInput;

constexpr std::uint32_t kRawDataType = 10;
// Resource IDs are 16-bit integers; 0 is not an ID.
constexpr std::uint32_t kLargestId = 65535;

int usage()
{
    std::cerr << "usage: respack --out LIBRARY [ID=FILE ...]\n"
                 "       respack --list LIBRARY\n";
    return 2;
}

int failWith(const std::string &message)
{
    std::cerr << "respack: error: " << message << '\n';
    return 1;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string &path, std::string &error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a folder";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (in.bad()) {
        error = path + ": read error";
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint32_t> parseId(std::string_view text)
{
    std::uint32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc {} || end != text.data() + text.size() || text.empty() || id == 0
        || id > kLargestId)
        return std::nullopt;
    return id;
}

int pack(const std::string &outPath, const std::vector<std::string> &assignments)
{
    std::vector<ResourceInput> resources;
    for (const std::string &assignment : assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos)
            return failWith("'" + assignment + "': expected ID=FILE");
        const auto id = parseId(std::string_view(assignment).substr(0, equals));
        if (!id)
            return failWith("'" + assignment + "': the ID must be a whole number from 1 to "
                + std::to_string(kLargestId));
        const std::string file = assignment.substr(equals + 1);
        if (file.empty())
            return failWith("'" + assignment + "': no file given");
        std::string error;
        auto data = readWholeFile(file, error);
        if (!data)
            return failWith(error);
        resources.push_back({ kRawDataType, *id, std::move(*data) });
    }

    std::string error;
    const auto bytes = dorvel::resources::buildResourceLibrary(std::move(resources), &error);
    if (!bytes)
        return failWith(error);

    const std::string tempPath = outPath + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tempPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes->data()),
            static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) {
            std::remove(tempPath.c_str());
            return failWith(outPath + ": cannot write");
        }
    }
    std::error_code ec;
    std::filesystem::rename(tempPath, outPath, ec);
    if (ec) {
        std::remove(tempPath.c_str());
        return failWith(outPath + ": cannot replace: " + ec.message());
    }
    return 0;
}

int list(const std::string &path)
{
    std::string error;
    const auto bytes = readWholeFile(path, error);
    if (!bytes)
        return failWith(error);
    const auto directory
        = dorvel::resources::parseResourceLibrary(bytes->data(), bytes->size(), &error);
    if (!directory)
        return failWith(path + ": damaged resource library: " + error);
    for (const auto &entry : directory->entries)
        std::cout << entry.type << ' ' << entry.id << ' ' << entry.size << '\n';
    std::cout.flush();
    return std::cout ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage();
    if (args[0] == "--help" || args[0] == "-h") {
        usage();
        return 0;
    }
    if (args[0] == "--list") {
        if (args.size() != 2)
            return usage();
        return list(args[1]);
    }
    if (args[0] == "--out") {
        if (args.size() < 2 || args[1].empty())
            return usage();
        return pack(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    std::cerr << "respack: error: unknown option '" << args[0] << "'\n";
    return usage();
}
