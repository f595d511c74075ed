// Pins down what readConfig and writeConfig do with the file "dorvel.cfg" in the
// current folder: exact 324-byte contents, short and long files, and every way
// the file can be unwritable, where the old file must stay as it was.
#include "StorageTestSupport.h"
#include "support/TempDir.h"

#include "storage/ConfigRecord.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dorvel::storage;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

using FileStatus = struct stat;

const fs::path kCfg = kConfigFileName;
const std::vector<std::string> kAfterWrite = { "dorvel.cfg", "dorvel.cfg.lock" };

mode_t modeOf(const fs::path &path)
{
    FileStatus info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

} // namespace

TEST(ConfigFile, WrittenRecordReadsBackByteForByte)
{
    ScopedCurrentDir dir;
    const ConfigRecord written = patternedRecord(3);
    ASSERT_TRUE(writeConfig(kConfigFileName, written));
    EXPECT_EQ(readFileBytes(kCfg), recordBytes(written));

    ConfigRecord read;
    EXPECT_TRUE(readConfig(kConfigFileName, read));
    EXPECT_EQ(read, written);
    // Nothing but the file and its lock file is left in the folder.
    EXPECT_EQ(folderEntries(dir.path()), kAfterWrite);
}

TEST(ConfigFile, ZeroFileIsAnEmptyListWithBothSwitchesOff)
{
    ScopedCurrentDir dir;
    writeFileBytes(kCfg, Bytes(kConfigRecordSize, 0));
    ConfigRecord record = patternedRecord(9);
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, ConfigRecord {});
}

TEST(ConfigFile, ShortFileFillsTheFrontAndFails)
{
    ScopedCurrentDir dir;
    writeFileBytes(kCfg, Bytes(100, 0x11));
    ConfigRecord record = ConfigRecord::fromBytes([] {
        std::array<std::uint8_t, kConfigRecordSize> bytes {};
        bytes.fill(0xAA);
        return bytes;
    }());
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    const Bytes bytes = recordBytes(record);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 100), Bytes(100, 0x11));
    EXPECT_EQ(Bytes(bytes.begin() + 100, bytes.end()), Bytes(224, 0xAA));
}

TEST(ConfigFile, LongFileReadsItsFirst324BytesAndIsShortenedByTheNextWrite)
{
    ScopedCurrentDir dir;
    Bytes content = recordBytes(patternedRecord(1));
    const Bytes expected = content;
    content.resize(400, 0xEE);
    writeFileBytes(kCfg, content);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(recordBytes(record), expected);
    EXPECT_TRUE(writeConfig(kConfigFileName, record));
    EXPECT_EQ(readFileBytes(kCfg), expected);
}

TEST(ConfigFile, MissingFileFailsToReadAndIsCreatedByAWrite)
{
    ScopedCurrentDir dir;
    ConfigRecord record = patternedRecord(4);
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(4));
    // Reading alone creates nothing.
    EXPECT_TRUE(folderEntries(dir.path()).empty());

    ASSERT_TRUE(writeConfig(kConfigFileName, ConfigRecord {}));
    EXPECT_EQ(readFileBytes(kCfg), Bytes(kConfigRecordSize, 0));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(kCfg), 0666 & ~mask);
}

TEST(ConfigFile, ReplacementKeepsTheOldFilesPermissions)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, ConfigRecord {}));
    ASSERT_EQ(::chmod(kConfigFileName, 0600), 0);
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_EQ(modeOf(kCfg), 0600u);
}

// The tests run as root, for whom permission bits stop no write: a file without
// any write bit must still be left alone, as it would be for a player.
TEST(ConfigFile, WriteProtectedFileIsLeftAlone)
{
    ScopedCurrentDir dir;
    const Bytes old = recordBytes(patternedRecord(5));
    writeFileBytes(kCfg, old);
    ASSERT_EQ(::chmod(kConfigFileName, 0444), 0);

    EXPECT_FALSE(writeConfig(kConfigFileName, patternedRecord(6)));
    EXPECT_EQ(readFileBytes(kCfg), old);
    EXPECT_EQ(modeOf(kCfg), 0444u);
    EXPECT_EQ(folderEntries(dir.path()), kAfterWrite);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(recordBytes(record), old);
}

TEST(ConfigFile, WriteProtectedFolderGetsNoFileAtAll)
{
    ScopedCurrentDir dir;
    const Bytes old = recordBytes(patternedRecord(7));
    fs::create_directory("ro");
    writeFileBytes("ro/dorvel.cfg", old);
    fs::create_directory("ro2");
    ASSERT_EQ(::chmod("ro", 0555), 0);
    ASSERT_EQ(::chmod("ro2", 0555), 0);

    // An existing file in the folder cannot be replaced...
    EXPECT_FALSE(writeConfig("ro/dorvel.cfg", patternedRecord(8)));
    EXPECT_EQ(readFileBytes("ro/dorvel.cfg"), old);
    EXPECT_EQ(folderEntries("ro"), std::vector<std::string> { "dorvel.cfg" });
    ConfigRecord record;
    EXPECT_TRUE(readConfig("ro/dorvel.cfg", record));
    EXPECT_EQ(recordBytes(record), old);

    // ...nor a missing one created, and the current folder works the same way.
    fs::current_path("ro2");
    EXPECT_FALSE(writeConfig(kConfigFileName, patternedRecord(8)));
    EXPECT_TRUE(folderEntries(".").empty());
    fs::current_path(dir.path());
    ::chmod("ro", 0755);
    ::chmod("ro2", 0755);
}

TEST(ConfigFile, DirectoryOfThatNameIsNeitherReadNorDestroyed)
{
    ScopedCurrentDir dir;
    fs::create_directory(kCfg);
    writeFileBytes(kCfg / "inside", { 1, 2, 3 });

    ConfigRecord record = patternedRecord(1);
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    EXPECT_FALSE(writeConfig(kConfigFileName, record));
    EXPECT_TRUE(fs::is_directory(kCfg));
    EXPECT_EQ(readFileBytes(kCfg / "inside"), (Bytes { 1, 2, 3 }));
}

TEST(ConfigFile, PipeOfThatNameDoesNotHangTheReader)
{
    ScopedCurrentDir dir;
    ASSERT_EQ(::mkfifo(kConfigFileName, 0666), 0);
    ConfigRecord record;
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_FALSE(writeConfig(kConfigFileName, record));
}

TEST(ConfigFile, SymbolicLinkIsKeptAndItsTargetReplaced)
{
    ScopedCurrentDir dir;
    fs::create_directory("shared");
    writeFileBytes("shared/real.cfg", recordBytes(patternedRecord(1)));
    fs::create_symlink("shared/real.cfg", kCfg);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_TRUE(fs::is_symlink(kCfg));
    EXPECT_EQ(readFileBytes("shared/real.cfg"), recordBytes(patternedRecord(2)));

    // A link to nowhere is not turned into a file.
    fs::create_symlink("nowhere/x.cfg", "dangling.cfg");
    EXPECT_FALSE(writeConfig("dangling.cfg", record));
    EXPECT_TRUE(fs::is_symlink("dangling.cfg"));
}

TEST(ConfigFile, StrayTemporaryOfAKilledWriterIsNeverReadAndIsSweptAway)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(1)));
    writeFileBytes("dorvel.cfg.tmp.Ab3dE9", Bytes(50, 0x33));
    writeFileBytes("dorvel.cfg.backup", Bytes(3, 0x44)); // not ours: kept

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_EQ(folderEntries(dir.path()),
        (std::vector<std::string> { "dorvel.cfg", "dorvel.cfg.backup", "dorvel.cfg.lock" }));
}

// Another copy of the program holding the lock keeps this one out; it gives up
// (false) rather than waiting forever, and changes nothing.
TEST(ConfigFile, LockHeldByAnotherCopyMakesBothOperationsFail)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(1)));
    const int other = ::open("dorvel.cfg.lock", O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    ConfigRecord record;
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, ConfigRecord {});
    EXPECT_FALSE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_EQ(readFileBytes(kCfg), recordBytes(patternedRecord(1)));

    // Readers only share: a reader's lock does not keep another reader out.
    ASSERT_EQ(::flock(other, LOCK_SH), 0);
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    ::close(other);
    EXPECT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
}
