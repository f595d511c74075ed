// Pins down what readConfig and writeConfig do with the file "dorvel.cfg" in the
// current folder: exact 324-byte contents, short and long files, and every way
// the file can be unwritable, where the old file must stay as it was.
#include "support/Files.h"
#include "support/TempDir.h"

#include "storage/ConfigRecord.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dorvel::storage;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

using FileStatus = struct stat;

const fs::path kCfg = kConfigFileName;
const std::vector<std::string> kAfterWrite = { "dorvel.cfg" };

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
    EXPECT_EQ(readBytes(kCfg), recordBytes(written));

    ConfigRecord read;
    EXPECT_TRUE(readConfig(kConfigFileName, read));
    EXPECT_EQ(read, written);
    // Nothing but the file is left in the folder: no lock file, no temporary.
    EXPECT_EQ(folderEntries(dir.path()), kAfterWrite);
}

TEST(ConfigFile, ZeroFileIsAnEmptyListWithBothSwitchesOff)
{
    ScopedCurrentDir dir;
    writeBytes(kCfg, Bytes(kConfigRecordSize, 0));
    ConfigRecord record = patternedRecord(9);
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, ConfigRecord {});
}

TEST(ConfigFile, ShortFileFillsTheFrontAndFails)
{
    ScopedCurrentDir dir;
    writeBytes(kCfg, Bytes(100, 0x11));
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
    writeBytes(kCfg, content);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(recordBytes(record), expected);
    EXPECT_TRUE(writeConfig(kConfigFileName, record));
    EXPECT_EQ(readBytes(kCfg), expected);
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
    EXPECT_EQ(readBytes(kCfg), Bytes(kConfigRecordSize, 0));
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
    writeBytes(kCfg, old);
    ASSERT_EQ(::chmod(kConfigFileName, 0444), 0);

    EXPECT_FALSE(writeConfig(kConfigFileName, patternedRecord(6)));
    EXPECT_EQ(readBytes(kCfg), old);
    EXPECT_EQ(modeOf(kCfg), 0444u);
    EXPECT_EQ(folderEntries(dir.path()), kAfterWrite);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(recordBytes(record), old);
}

// Permissions as a player meets them (as root, in a child that became "nobody"): a
// read-only folder takes no new file, but its writable file is updated in place; a
// write-only file is not replaced by a record that was never read.
TEST(ConfigFile, PlayersPermissionsAreMetWithoutLosingTheList)
{
    ScopedCurrentDir dir;
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    for (const char *folder : { "ro", "ro-empty", "wo" })
        fs::create_directory(folder);
    writeBytes("ro/dorvel.cfg", recordBytes(patternedRecord(7)));
    writeBytes("wo/dorvel.cfg", recordBytes(patternedRecord(7)));
    FileStatus before {};
    ASSERT_EQ(::stat("ro/dorvel.cfg", &before), 0);
    ASSERT_EQ(::chmod("wo/dorvel.cfg", 0200), 0);
    if (root) {
        ASSERT_EQ(::chmod(".", 0755), 0);
        for (const char *path : { "ro/dorvel.cfg", "wo", "wo/dorvel.cfg" })
            ASSERT_EQ(::chown(path, kNobody, kNobody), 0);
    } else {
        ASSERT_EQ(::chmod("ro", 0555), 0);
        ASSERT_EQ(::chmod("ro-empty", 0555), 0);
    }
    // One bit per wrong answer.
    auto work = [] {
        return (writeConfig("ro/dorvel.cfg", patternedRecord(8)) ? 0 : 1)
            | (writeConfig("ro-empty/dorvel.cfg", patternedRecord(8)) ? 2 : 0)
            | (updateConfig("wo/dorvel.cfg", [](ConfigRecord &r) { r.soundOn = 1; }) ? 4 : 0)
            | (writeConfig("wo/dorvel.cfg", ConfigRecord {}) ? 8 : 0);
    };
    int status = 0;
    if (root) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool dropped = ::setresgid(kNobody, kNobody, kNobody) == 0
                && ::setresuid(kNobody, kNobody, kNobody) == 0 && ::access("ro", W_OK) != 0;
            ::_exit(dropped ? work() : 64);
        }
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    } else {
        status = work();
    }
    EXPECT_EQ(status, 0) << "1: file in read-only folder not updated, 2: file made there, "
                            "4/8: write-only file replaced, 64: could not become a player";
    EXPECT_EQ(readBytes("ro/dorvel.cfg"), recordBytes(patternedRecord(8)));
    EXPECT_EQ(folderEntries("ro"), kAfterWrite);
    EXPECT_TRUE(folderEntries("ro-empty").empty());
    FileStatus after {};
    ASSERT_EQ(::stat("ro/dorvel.cfg", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "updated in place, not replaced";
    ::chmod("wo/dorvel.cfg", 0600);
    EXPECT_EQ(readBytes("wo/dorvel.cfg"), recordBytes(patternedRecord(7)));
    ::chmod("ro", 0755);
    ::chmod("ro-empty", 0755);
}

TEST(ConfigFile, DirectoryOfThatNameIsNeitherReadNorDestroyed)
{
    ScopedCurrentDir dir;
    fs::create_directory(kCfg);
    writeBytes(kCfg / "inside", { 1, 2, 3 });

    ConfigRecord record = patternedRecord(1);
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    EXPECT_FALSE(writeConfig(kConfigFileName, record));
    EXPECT_TRUE(fs::is_directory(kCfg));
    EXPECT_EQ(readBytes(kCfg / "inside"), (Bytes { 1, 2, 3 }));
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
    writeBytes("shared/real.cfg", recordBytes(patternedRecord(1)));
    fs::create_symlink("shared/real.cfg", kCfg);

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_TRUE(fs::is_symlink(kCfg));
    EXPECT_EQ(readBytes("shared/real.cfg"), recordBytes(patternedRecord(2)));

    // A link to nowhere is not turned into a file.
    fs::create_symlink("nowhere/x.cfg", "dangling.cfg");
    EXPECT_FALSE(writeConfig("dangling.cfg", record));
    EXPECT_TRUE(fs::is_symlink("dangling.cfg"));
}

TEST(ConfigFile, StrayTemporaryOfAKilledWriterIsNeverReadAndIsSweptAway)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(1)));
    writeBytes("dorvel.cfg.tmp.Ab3dE9", Bytes(50, 0x33));
    writeBytes("dorvel.cfg.backup", Bytes(3, 0x44)); // not ours: kept

    ConfigRecord record;
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, patternedRecord(1));
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_EQ(folderEntries(dir.path()),
        (std::vector<std::string> { "dorvel.cfg", "dorvel.cfg.backup" }));
}

// Another copy of the program holding the lock keeps this one out; it gives up
// (false) rather than waiting forever, and changes nothing.
TEST(ConfigFile, LockHeldByAnotherCopyMakesBothOperationsFail)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(1)));
    const int other = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    ConfigRecord record;
    EXPECT_FALSE(readConfig(kConfigFileName, record));
    EXPECT_EQ(record, ConfigRecord {});
    EXPECT_FALSE(writeConfig(kConfigFileName, patternedRecord(2)));
    EXPECT_EQ(readBytes(kCfg), recordBytes(patternedRecord(1)));

    // Readers only share: a reader's lock does not keep another reader out.
    ASSERT_EQ(::flock(other, LOCK_SH), 0);
    EXPECT_TRUE(readConfig(kConfigFileName, record));
    ::close(other);
    EXPECT_TRUE(writeConfig(kConfigFileName, patternedRecord(2)));
}
