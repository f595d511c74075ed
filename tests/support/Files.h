#pragma once

// Files as bytes, for the tests that write a settings file, spoil one, or check
// that one was (or was not) touched.

#include "storage/ConfigRecord.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace dorvel::test {

using Bytes = std::vector<std::uint8_t>;

/// The whole file; nothing if it cannot be read.
Bytes readBytes(const std::filesystem::path &path);
/// Replaces the file with exactly these bytes.
void writeBytes(const std::filesystem::path &path, const Bytes &bytes);
Bytes recordBytes(const storage::ConfigRecord &record);
/// A record whose every byte differs from its neighbours', fillers included.
storage::ConfigRecord patternedRecord(std::uint8_t seed);
/// 324 bytes that differ from their neighbours (fillers and unused name bytes
/// included), with the two switch bytes given and every name length within 0..10,
/// so the program reads it as a sound settings file with a full high-score list.
Bytes settingsBytes(std::uint8_t sound, std::uint8_t music);
/// Names of the folder's entries, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path &folder);

} // namespace dorvel::test
