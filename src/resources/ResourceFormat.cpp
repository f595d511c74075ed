#include "ResourceFormat.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace dorvel::resources {

namespace {

    std::uint32_t read32(const std::uint8_t *p)
    {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
            | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }

    void write32(std::uint8_t *p, std::uint32_t value)
    {
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        p[2] = static_cast<std::uint8_t>(value >> 16);
        p[3] = static_cast<std::uint8_t>(value >> 24);
    }

    bool keyLess(const ResourceEntry &a, const ResourceEntry &b)
    {
        return std::tie(a.type, a.id) < std::tie(b.type, b.id);
    }

    std::optional<ResourceDirectory> fail(std::string *error, std::string message)
    {
        if (error != nullptr)
            *error = std::move(message);
        return std::nullopt;
    }

    std::string tooLarge(std::uint64_t size)
    {
        return std::to_string(size) + " bytes, too large for a resource library (less than "
            + std::to_string(kResourceLibrarySizeLimit >> 20) + " MiB)";
    }

    std::string describe(const ResourceEntry &entry)
    {
        return "resource " + std::to_string(entry.id) + " (type " + std::to_string(entry.type)
            + ")";
    }

    // Two entries whose data overlap, described; empty when none do. Empty
    // resources occupy no bytes and so cannot overlap anything.
    std::string findOverlap(const std::vector<ResourceEntry> &entries)
    {
        std::vector<ResourceEntry> byOffset;
        std::copy_if(entries.begin(), entries.end(), std::back_inserter(byOffset),
            [](const ResourceEntry &entry) { return entry.size > 0; });
        std::sort(byOffset.begin(), byOffset.end(),
            [](const ResourceEntry &a, const ResourceEntry &b) { return a.offset < b.offset; });
        for (std::size_t i = 1; i < byOffset.size(); ++i) {
            if (std::uint64_t { byOffset[i - 1].offset } + byOffset[i - 1].size
                > byOffset[i].offset)
                return describe(byOffset[i - 1]) + " overlaps " + describe(byOffset[i]);
        }
        return {};
    }

} // namespace

const ResourceEntry *ResourceDirectory::find(std::uint32_t type, std::uint32_t id) const
{
    const ResourceEntry key { type, id, 0, 0 };
    const auto it = std::lower_bound(entries.begin(), entries.end(), key, keyLess);
    if (it == entries.end() || it->type != type || it->id != id)
        return nullptr;
    return &*it;
}

std::optional<ResourceDirectory> parseResourceLibrary(
    const std::uint8_t *data, std::size_t size, std::string *error)
{
    if (data == nullptr || size < kResourceHeaderSize)
        return fail(error, "file too short for the header");
    if (size >= kResourceLibrarySizeLimit)
        return fail(error, tooLarge(size));
    if (!std::equal(kResourceLibraryMagic.begin(), kResourceLibraryMagic.end(), data))
        return fail(error, "not a resource library (wrong magic)");
    const std::uint32_t version = read32(data + 4);
    if (version != kResourceLibraryVersion)
        return fail(error, "unsupported version " + std::to_string(version));
    const std::uint32_t count = read32(data + 8);
    const std::uint32_t declaredSize = read32(data + 12);
    if (declaredSize != size)
        return fail(error,
            "file is " + std::to_string(size) + " bytes, header says "
                + std::to_string(declaredSize) + " (truncated or extended)");
    // From here on size fits in 32 bits, so every sum below fits in 64.
    if (count > (size - kResourceHeaderSize) / kResourceEntrySize)
        return fail(error, "entry table (" + std::to_string(count) + " entries) runs past the end");

    const std::uint64_t tableEnd
        = kResourceHeaderSize + std::uint64_t { count } * kResourceEntrySize;
    ResourceDirectory directory;
    directory.base = data;
    directory.fileSize = size;
    directory.entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t *row
            = data + kResourceHeaderSize + std::size_t { i } * kResourceEntrySize;
        const ResourceEntry entry { read32(row), read32(row + 4), read32(row + 8),
            read32(row + 12) };
        if (!directory.entries.empty()) {
            const ResourceEntry &previous = directory.entries.back();
            if (previous.type == entry.type && previous.id == entry.id)
                return fail(error, "duplicate " + describe(entry));
            if (!keyLess(previous, entry))
                return fail(error, "entry table not in ascending order at " + describe(entry));
        }
        if (entry.offset % kResourceAlignment != 0)
            return fail(error, describe(entry) + " is not aligned");
        if (entry.offset < tableEnd)
            return fail(error, describe(entry) + " starts inside the header or table");
        if (std::uint64_t { entry.offset } + entry.size > size)
            return fail(error, describe(entry) + " runs past the end of the file");
        directory.entries.push_back(entry);
    }

    if (std::string overlap = findOverlap(directory.entries); !overlap.empty())
        return fail(error, overlap);
    return directory;
}

std::optional<std::vector<std::uint8_t>> buildResourceLibrary(
    std::vector<ResourceInput> resources, std::string *error)
{
    std::sort(
        resources.begin(), resources.end(), [](const ResourceInput &a, const ResourceInput &b) {
            return std::tie(a.type, a.id) < std::tie(b.type, b.id);
        });
    for (std::size_t i = 1; i < resources.size(); ++i) {
        if (resources[i - 1].type == resources[i].type && resources[i - 1].id == resources[i].id) {
            if (error != nullptr)
                *error = "resource " + std::to_string(resources[i].id) + " (type "
                    + std::to_string(resources[i].type) + ") given twice";
            return std::nullopt;
        }
    }

    const auto alignUp = [](std::uint64_t value) {
        return (value + kResourceAlignment - 1) / kResourceAlignment * kResourceAlignment;
    };
    std::vector<std::uint64_t> offsets;
    offsets.reserve(resources.size());
    std::uint64_t cursor
        = kResourceHeaderSize + std::uint64_t { resources.size() } * kResourceEntrySize;
    for (const ResourceInput &resource : resources) {
        offsets.push_back(cursor);
        cursor = alignUp(cursor + resource.data.size());
        if (cursor >= kResourceLibrarySizeLimit) {
            if (error != nullptr)
                *error = "resources of " + tooLarge(cursor);
            return std::nullopt;
        }
    }

    // Zero-filled, so the padding between resources is always the same.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(cursor), 0);
    std::copy(kResourceLibraryMagic.begin(), kResourceLibraryMagic.end(), bytes.begin());
    write32(bytes.data() + 4, kResourceLibraryVersion);
    write32(bytes.data() + 8, static_cast<std::uint32_t>(resources.size()));
    write32(bytes.data() + 12, static_cast<std::uint32_t>(cursor));
    for (std::size_t i = 0; i < resources.size(); ++i) {
        std::uint8_t *row = bytes.data() + kResourceHeaderSize + i * kResourceEntrySize;
        write32(row, resources[i].type);
        write32(row + 4, resources[i].id);
        write32(row + 8, static_cast<std::uint32_t>(offsets[i]));
        write32(row + 12, static_cast<std::uint32_t>(resources[i].data.size()));
        if (!resources[i].data.empty())
            std::memcpy(
                bytes.data() + offsets[i], resources[i].data.data(), resources[i].data.size());
    }
    return bytes;
}

} // namespace dorvel::resources
