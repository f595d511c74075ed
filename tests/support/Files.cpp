#include "Files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

namespace dorvel::test {

Bytes readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(
        reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes recordBytes(const storage::ConfigRecord &record)
{
    const auto bytes = record.toBytes();
    return Bytes(bytes.begin(), bytes.end());
}

storage::ConfigRecord patternedRecord(std::uint8_t seed)
{
    std::array<std::uint8_t, storage::kConfigRecordSize> bytes {};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return storage::ConfigRecord::fromBytes(bytes);
}

Bytes settingsBytes(std::uint8_t sound, std::uint8_t music)
{
    Bytes bytes(storage::kConfigRecordSize);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 5);
    bytes[0] = sound;
    bytes[1] = music;
    for (std::size_t k = 0; k < 20; ++k)
        bytes[4 + 16 * k] = static_cast<std::uint8_t>(k % 11);
    return bytes;
}

std::vector<std::string> folderEntries(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace dorvel::test
