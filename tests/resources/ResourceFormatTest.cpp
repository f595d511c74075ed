// The resource library's container: what it packs comes back byte for byte, and
// every kind of damage rejects the whole library without reading out of bounds.
#include "resources/ResourceFormat.h"
#include "resources/ResourceLoaders.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace dorvel::resources;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t get32(const Bytes &bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
    return value;
}

// Offset of field (0 type, 1 id, 2 offset, 3 size) of table row `row`.
std::size_t field(std::size_t row, std::size_t index)
{
    return 16 + row * 16 + index * 4;
}

Bytes filled(std::size_t size, std::uint8_t value)
{
    return Bytes(size, value);
}

// Three resources: 105 (40 bytes), 107 (16 bytes) and 115 (100 bytes).
Bytes validLibrary()
{
    auto bytes = buildResourceLibrary({ { 10, 115, filled(100, 0x33) },
        { 10, 105, filled(40, 0x11) }, { 10, 107, filled(16, 0x22) } });
    return *bytes;
}

// Parses from an exact-size heap copy, so a read past the end shows under ASan.
std::optional<ResourceDirectory> parseExact(const Bytes &bytes, std::string *error = nullptr)
{
    auto copy = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
    std::copy(bytes.begin(), bytes.end(), copy.get());
    auto directory = parseResourceLibrary(copy.get(), bytes.size(), error);
    if (directory)
        directory->base = nullptr; // the copy dies here
    return directory;
}

} // namespace

TEST(ResourceFormat, LaysOutHeaderTableAndAlignedData)
{
    const Bytes bytes = validLibrary();
    ASSERT_EQ(bytes.size() % 16, 0u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RDZL");
    EXPECT_EQ(get32(bytes, 4), 1u);
    EXPECT_EQ(get32(bytes, 8), 3u);
    EXPECT_EQ(get32(bytes, 12), bytes.size());
    // Ascending by ID, data right after the table, each piece on a 16-byte boundary.
    EXPECT_EQ(get32(bytes, field(0, 1)), 105u);
    EXPECT_EQ(get32(bytes, field(0, 2)), 64u);
    EXPECT_EQ(get32(bytes, field(1, 1)), 107u);
    EXPECT_EQ(get32(bytes, field(1, 2)), 112u);
    EXPECT_EQ(get32(bytes, field(2, 1)), 115u);
    EXPECT_EQ(get32(bytes, field(2, 2)), 128u);
    EXPECT_EQ(bytes.size(), 240u);
    EXPECT_EQ(bytes[104], 0u) << "padding is zero";
}

TEST(ResourceFormat, EmptyLibraryIsJustTheHeader)
{
    const auto bytes = buildResourceLibrary({});
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 16u);
    const auto directory = parseExact(*bytes);
    ASSERT_TRUE(directory);
    EXPECT_TRUE(directory->entries.empty());
}

TEST(ResourceFormat, BuilderRejectsDuplicateIdsAndIgnoresInputOrder)
{
    std::string error;
    EXPECT_FALSE(buildResourceLibrary({ { 10, 5, {} }, { 10, 5, { 1 } } }, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
    // Same ID under another type is a different resource.
    EXPECT_TRUE(buildResourceLibrary({ { 10, 5, {} }, { 3, 5, {} } }));

    const auto a = buildResourceLibrary({ { 10, 1, { 1, 2 } }, { 10, 2, { 3 } } });
    const auto b = buildResourceLibrary({ { 10, 2, { 3 } }, { 10, 1, { 1, 2 } } });
    EXPECT_EQ(*a, *b);
}

TEST(ResourceFormat, RoundTripOfRandomContentThroughAFileIsByteExact)
{
    std::mt19937 random(20240611);
    std::vector<ResourceInput> inputs;
    std::set<std::uint32_t> ids;
    while (ids.size() < 25)
        ids.insert(std::uniform_int_distribution<std::uint32_t>(1, 65535)(random));
    for (const std::uint32_t id : ids) {
        // Sizes around the alignment step, zero included, and a few large ones.
        const std::size_t size = id % 5 == 0
            ? std::uniform_int_distribution<std::size_t>(0, 200000)(random)
            : std::uniform_int_distribution<std::size_t>(0, 40)(random);
        Bytes data(size);
        for (auto &byte : data)
            byte = static_cast<std::uint8_t>(random());
        inputs.push_back({ 10, id, std::move(data) });
    }
    const auto bytes = buildResourceLibrary(inputs);
    ASSERT_TRUE(bytes);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path path = dir.filePath("roundtrip.dll").toStdString();
    {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(bytes->data(), 1, bytes->size(), file), bytes->size());
        std::fclose(file);
    }
    {
        FileResourceLoader loader(path);
        const ResourceModule *module = loader.loadLibrary("redizo.dll");
        ASSERT_NE(module, nullptr);
        ASSERT_EQ(module->directory().entries.size(), inputs.size());
        for (const ResourceInput &input : inputs) {
            SCOPED_TRACE(input.id);
            auto stream = openResource(module, static_cast<int>(input.id));
            ASSERT_NE(stream, nullptr);
            ASSERT_EQ(stream->size(), input.data.size());
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(stream->memory()) % 16, 0u);
            EXPECT_TRUE(std::equal(input.data.begin(), input.data.end(), stream->memory()));
            Bytes copy(input.data.size() + 8);
            EXPECT_EQ(stream->read(copy.data(), copy.size()), input.data.size());
            copy.resize(input.data.size());
            EXPECT_EQ(copy, input.data);
        }
        EXPECT_EQ(openResource(module, 0), nullptr);
    }
}

struct Damage
{
    const char *name;
    std::function<void(Bytes &)> apply;
    const char *expectedError;
};

class ResourceDamage : public testing::TestWithParam<Damage>
{
};

TEST_P(ResourceDamage, RejectsTheWholeLibrary)
{
    Bytes bytes = validLibrary();
    GetParam().apply(bytes);
    std::string error;
    EXPECT_FALSE(parseExact(bytes, &error));
    EXPECT_NE(error.find(GetParam().expectedError), std::string::npos) << error;
    MemoryResourceLoader loader(bytes);
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), nullptr);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, ResourceDamage, testing::Values(
    Damage { "Empty", [](Bytes &b) { b.clear(); }, "too short" },
    Damage { "ShorterThanHeader", [](Bytes &b) { b.resize(15); }, "too short" },
    Damage { "WrongMagic", [](Bytes &b) { b[3] = 'X'; }, "magic" },
    Damage { "WrongVersion", [](Bytes &b) { put32(b, 4, 2); }, "version 2" },
    Damage { "VersionZero", [](Bytes &b) { put32(b, 4, 0); }, "version 0" },
    Damage { "TruncatedData", [](Bytes &b) { b.resize(b.size() - 1); }, "truncated" },
    Damage { "AppendedBytes", [](Bytes &b) { b.push_back(0); }, "truncated or extended" },
    Damage { "TruncatedTable", [](Bytes &b) { b.resize(40); put32(b, 12, 40); }, "entry table" },
    Damage { "HugeCount", [](Bytes &b) { put32(b, 8, 0xFFFFFFFFu); }, "entry table" },
    Damage { "EntryPastTheEnd", [](Bytes &b) { put32(b, field(2, 3), 113); }, "past the end" },
    Damage { "OffsetPastTheEnd", [](Bytes &b) { put32(b, field(0, 2), 1024); }, "past the end" },
    Damage { "OffsetPlusSizeWrapsAround", [](Bytes &b) {
        put32(b, field(2, 2), 0xFFFFFFF0u); put32(b, field(2, 3), 0x20); }, "past the end" },
    Damage { "SizeWrapsAround", [](Bytes &b) { put32(b, field(0, 3), 0xFFFFFFFFu); }, "past the end" },
    Damage { "Unaligned", [](Bytes &b) { put32(b, field(1, 2), 113); }, "aligned" },
    Damage { "DataInsideTable", [](Bytes &b) { put32(b, field(0, 2), 48); }, "inside the header" },
    Damage { "DataInsideHeader", [](Bytes &b) { put32(b, field(0, 2), 0); }, "inside the header" },
    Damage { "Overlapping", [](Bytes &b) { put32(b, field(1, 2), 96); }, "overlaps" },
    Damage { "SameData", [](Bytes &b) { put32(b, field(2, 2), 64); }, "overlaps" },
    Damage { "DuplicateId", [](Bytes &b) { put32(b, field(1, 1), 105); }, "duplicate resource 105" },
    Damage { "OutOfOrder", [](Bytes &b) { put32(b, field(0, 1), 200); }, "ascending" }),
    [](const testing::TestParamInfo<Damage> &damage) { return std::string(damage.param.name); });
// clang-format on

TEST(ResourceFormat, EveryTruncationIsRejected)
{
    const Bytes bytes = validLibrary();
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(parseExact(cut)) << size;
        // Even when the declared size is mended to match, a cut through the
        // table or the data is caught.
        if (size >= 16) {
            put32(cut, 12, static_cast<std::uint32_t>(size));
            EXPECT_EQ(parseExact(cut).has_value(), size >= 228) << size;
        }
    }
}

TEST(ResourceFormat, RandomDamageNeverYieldsAnEntryOutsideTheFile)
{
    const Bytes original = validLibrary();
    std::mt19937 random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        const int flips = std::uniform_int_distribution<int>(1, 4)(random);
        for (int i = 0; i < flips; ++i) {
            // Mostly the header and table, where damage matters.
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, 79)(random);
            bytes[at] = static_cast<std::uint8_t>(random());
        }
        const auto directory = parseExact(bytes);
        if (!directory)
            continue;
        ++accepted;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
        for (const ResourceEntry &entry : directory->entries) {
            ASSERT_LE(std::uint64_t { entry.offset } + entry.size, bytes.size());
            ASSERT_GE(entry.offset, 16u + 16u * directory->entries.size());
            if (entry.size > 0)
                ranges.emplace_back(entry.offset, std::uint64_t { entry.offset } + entry.size);
        }
        std::sort(ranges.begin(), ranges.end());
        for (std::size_t i = 1; i < ranges.size(); ++i)
            ASSERT_LE(ranges[i - 1].second, ranges[i].first);
    }
    // Damage to the data bytes of the table region alone (ids kept in order) can
    // leave a valid library; most damage must not.
    EXPECT_LT(accepted, 3000);
}
