// Loading the resource library by name (search order, one module per name, kept
// loaded) and reading resources through bounded streams over the data in place.
#include "resources/ResourceLibrary.h"
#include "resources/ResourceLoaders.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace dorvel::resources;

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void writeFile(const fs::path &path, const Bytes &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

Bytes library(std::vector<ResourceInput> resources)
{
    return *buildResourceLibrary(std::move(resources));
}

Bytes bytesOf(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

std::string contentOf(const ResourceModule *module, int id)
{
    auto stream = openResource(module, id);
    if (!stream)
        return "<none>";
    return std::string(reinterpret_cast<const char *>(stream->memory()), stream->size());
}

class TwoFolders : public testing::Test
{
protected:
    fs::path first() const { return m_first.path().toStdString(); }
    fs::path second() const { return m_second.path().toStdString(); }

private:
    QTemporaryDir m_first;
    QTemporaryDir m_second;
};

} // namespace

TEST(SystemResourceLoader, FindsTheLibraryNextToTheExecutableAndKeepsOneModule)
{
    const fs::path executableFolder = fs::read_symlink("/proc/self/exe").parent_path();
    ASSERT_TRUE(fs::exists(executableFolder / "redizo.dll")) << "the build packs it next to us";
    ASSERT_FALSE(resourceSearchFolders().empty());
    EXPECT_EQ(resourceSearchFolders().front(), executableFolder);

    ResourceLoader &loader = systemResourceLoader();
    EXPECT_EQ(&loader, &systemResourceLoader());
    const ResourceModule *module = loader.loadLibrary(kResourceLibraryName);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->path(), executableFolder / "redizo.dll");
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), module);
    EXPECT_EQ(systemResourceLoader().loadLibrary(kResourceLibraryName), module);
}

TEST(SystemResourceLoader, AnswersOnlyBareNamesThatExist)
{
    ResourceLoader &loader = systemResourceLoader();
    EXPECT_EQ(loader.loadLibrary("no-such-library.dll"), nullptr);
    EXPECT_EQ(loader.loadLibrary(""), nullptr);
    EXPECT_EQ(loader.loadLibrary(".."), nullptr);
    EXPECT_EQ(loader.loadLibrary("../bin/redizo.dll"), nullptr);
    EXPECT_EQ(loader.loadLibrary("/etc/passwd"), nullptr);
}

TEST_F(TwoFolders, FirstFolderWithTheFileWins)
{
    writeFile(second() / "redizo.dll", library({ { 10, 107, bytesOf("second") } }));
    SearchPathResourceLoader loader({ first(), second() });
    const ResourceModule *module = loader.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(contentOf(module, 107), "second");

    // A library that turns up earlier in the search later does not replace the
    // loaded one: every load of a name gives the same module.
    writeFile(first() / "redizo.dll", library({ { 10, 107, bytesOf("first") } }));
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), module);

    SearchPathResourceLoader fresh({ first(), second() });
    EXPECT_EQ(contentOf(fresh.loadLibrary("redizo.dll"), 107), "first");
}

TEST_F(TwoFolders, DamagedLibraryInTheFirstFolderIsNotPassedOver)
{
    Bytes damaged = library({ { 10, 107, bytesOf("first") } });
    damaged[0] = 'X';
    writeFile(first() / "redizo.dll", damaged);
    writeFile(second() / "redizo.dll", library({ { 10, 107, bytesOf("second") } }));
    SearchPathResourceLoader loader({ first(), second() });
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), nullptr);
}

TEST_F(TwoFolders, MissingLibraryIsLoadedOnceItAppears)
{
    SearchPathResourceLoader loader({ first(), second() });
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), nullptr);
    writeFile(second() / "redizo.dll", library({}));
    EXPECT_NE(loader.loadLibrary("redizo.dll"), nullptr);
}

TEST_F(TwoFolders, LoadedLibraryStaysReadableWhenTheFileIsReplaced)
{
    const fs::path path = first() / "redizo.dll";
    writeFile(path, library({ { 10, 115, bytesOf("old sound") } }));
    SearchPathResourceLoader loader({ first() });
    const ResourceModule *module = loader.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    // As the packer does: write beside, then rename over.
    writeFile(first() / "new.tmp", library({ { 10, 115, bytesOf("a new and longer sound") } }));
    fs::rename(first() / "new.tmp", path);
    EXPECT_EQ(contentOf(loader.loadLibrary("redizo.dll"), 115), "old sound");
}

TEST(ResourceStandIns, FileLoaderLoadsOneGivenFileOnce)
{
    QTemporaryDir dir;
    const fs::path path = fs::path(dir.path().toStdString()) / "any-name.bin";
    FileResourceLoader loader(path);
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), nullptr) << "missing file";
    writeFile(path, library({ { 10, 106, bytesOf("table") } }));
    const ResourceModule *module = loader.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    fs::remove(path);
    EXPECT_EQ(loader.loadLibrary("redizo.dll"), module);
    EXPECT_EQ(contentOf(module, 106), "table");
}

TEST(ResourceStandIns, MemoryAndMissingLoaders)
{
    MemoryResourceLoader memory(std::map<int, Bytes> { { 113, bytesOf("dialog") }, { 125, {} } });
    const ResourceModule *module = memory.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(memory.loadLibrary("redizo.dll"), module);
    EXPECT_EQ(contentOf(module, 113), "dialog");
    EXPECT_EQ(contentOf(module, 125), "");
    EXPECT_EQ(contentOf(module, 107), "<none>");

    MemoryResourceLoader negative(std::map<int, Bytes> { { -1, {} } });
    EXPECT_EQ(negative.loadLibrary("redizo.dll"), nullptr);

    MissingResourceLoader missing;
    EXPECT_EQ(missing.loadLibrary("redizo.dll"), nullptr);
}

TEST(OpenResource, FindsOnlyThePresentIdOfTheRightType)
{
    MemoryResourceLoader loader(
        library({ { 10, 105, bytesOf("model") }, { 3, 106, bytesOf("icon") } }));
    const ResourceModule *module = loader.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(openResource(module, 105), nullptr);
    EXPECT_EQ(openResource(module, 105, 3), nullptr);
    EXPECT_EQ(openResource(module, 106), nullptr) << "106 exists only as another type";
    EXPECT_NE(openResource(module, 106, 3), nullptr);
    EXPECT_EQ(openResource(module, 104), nullptr);
    EXPECT_EQ(openResource(module, -105), nullptr);
    EXPECT_EQ(openResource(nullptr, 105), nullptr);
}

TEST(OpenResource, ClosingAStreamLeavesTheDataInPlace)
{
    MemoryResourceLoader loader(library({ { 10, 116, bytesOf("click") } }));
    const std::uint8_t *memory = nullptr;
    {
        auto stream = openResource(loader.loadLibrary("redizo.dll"), 116);
        ASSERT_NE(stream, nullptr);
        memory = stream->memory();
    }
    auto again = openResource(loader.loadLibrary("redizo.dll"), 116);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->memory(), memory) << "no copy: the stream is over the library's bytes";
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(memory), 5), "click");
}

TEST(ResourceStream, SeekAndReadStayWithinTheData)
{
    const std::string text = "0123456789";
    ResourceStream stream(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
    char buffer[16] = {};

    EXPECT_EQ(stream.read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(stream.position(), 4u);

    EXPECT_FALSE(stream.seek(11));
    EXPECT_EQ(stream.position(), 4u) << "a refused seek does not move";
    EXPECT_TRUE(stream.seek(7));
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 3u) << "a read stops at the end";
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(stream.read(buffer, 1), 0u);
    EXPECT_TRUE(stream.seek(10)) << "the end itself is a valid position";
    EXPECT_EQ(stream.read(buffer, 1), 0u);
    EXPECT_EQ(stream.read(buffer, 0), 0u);

    // The model is read once per die, each time from the start.
    for (int die = 1; die <= 5; ++die) {
        ASSERT_TRUE(stream.seek(0));
        ASSERT_EQ(stream.read(buffer, sizeof buffer), 10u);
        EXPECT_EQ(std::string(buffer, 10), text);
    }
}

TEST(ResourceStream, EmptyAndNullDataReadNothing)
{
    ResourceStream empty(nullptr, 100);
    char buffer[4];
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.read(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(empty.seek(1));
}
