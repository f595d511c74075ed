#pragma once

// The container format of the resource library: a 16-byte header, a table of
// 16-byte entries and the resource data, each piece aligned to 16 bytes. All
// numbers are little-endian 32-bit. The byte layout and the rules of validity
// are written down in docs/resource-library.md.
//
// This file has no Qt in it: the packer compiles it on its own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dorvel::resources {

inline constexpr std::array<std::uint8_t, 4> kResourceLibraryMagic { 'R', 'D', 'Z', 'L' };
inline constexpr std::uint32_t kResourceLibraryVersion = 1;
inline constexpr std::size_t kResourceHeaderSize = 16;
inline constexpr std::size_t kResourceEntrySize = 16;
inline constexpr std::size_t kResourceAlignment = 16;
/// A library is smaller than this (the real one is under 2 MiB). Larger files are
/// rejected before they are read: one as large as the format's 32-bit offsets
/// allow would be a 4 GiB allocation.
inline constexpr std::size_t kResourceLibrarySizeLimit = std::size_t { 64 } << 20;

/// One row of the entry table; offset and size locate the data within the file.
struct ResourceEntry
{
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;

    friend bool operator==(const ResourceEntry &, const ResourceEntry &) = default;
};

/**
 * The validated table of a resource library held in memory. It points into the
 * bytes it was parsed from, which must outlive it.
 */
struct ResourceDirectory
{
    const std::uint8_t *base = nullptr;
    std::size_t fileSize = 0;
    /// Ascending by (type, id), as the format requires.
    std::vector<ResourceEntry> entries;

    /// The entry with this type and ID, or nullptr.
    const ResourceEntry *find(std::uint32_t type, std::uint32_t id) const;
    /// The data of an entry of this directory, in place.
    std::span<const std::uint8_t> data(const ResourceEntry &entry) const
    {
        return { base + entry.offset, entry.size };
    }
};

/**
 * Reads and checks a whole resource library: its size against the limit, magic,
 * version, declared file size,
 * the table (ascending, no duplicates), each entry's alignment and bounds, and
 * that no two entries' data overlap. Any fault rejects the whole library; error
 * (when given) then says what was wrong. Reads nothing outside [data, data + size).
 */
std::optional<ResourceDirectory> parseResourceLibrary(
    const std::uint8_t *data, std::size_t size, std::string *error = nullptr);

/// One resource to be packed.
struct ResourceInput
{
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> data;
};

/**
 * Builds the bytes of a resource library. The result depends only on the set of
 * inputs, not on their order. Fails (with error) on a duplicate (type, id) or
 * when the file would reach kResourceLibrarySizeLimit.
 */
std::optional<std::vector<std::uint8_t>> buildResourceLibrary(
    std::vector<ResourceInput> resources, std::string *error = nullptr);

} // namespace dorvel::resources
