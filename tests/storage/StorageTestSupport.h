#pragma once

#include "storage/ConfigRecord.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace dorvel::test {

using Bytes = std::vector<std::uint8_t>;

Bytes readFileBytes(const std::filesystem::path &path);
void writeFileBytes(const std::filesystem::path &path, const Bytes &bytes);
Bytes recordBytes(const storage::ConfigRecord &record);
/// A record whose every byte differs from its neighbours', fillers included.
storage::ConfigRecord patternedRecord(std::uint8_t seed);
/// Names of the folder's entries, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path &folder);

} // namespace dorvel::test
