// Pins down that replacing the settings file is crash-safe: a writer killed at
// any moment, or one that runs out of space, leaves "dorvel.cfg" holding either
// the complete old record or the complete new one, never less.
#include "support/Files.h"
#include "support/TempDir.h"

#include "storage/ConfigRecord.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dorvel::storage;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

const fs::path kCfg = kConfigFileName;

// Runs `body` in a child process and returns its exit status (-1 when it died
// from a signal). The child leaves with _exit so no test machinery runs twice.
template <typename Body> int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int countTemporaries(const fs::path &folder)
{
    int count = 0;
    for (const std::string &name : folderEntries(folder)) {
        if (name.rfind("dorvel.cfg.tmp.", 0) == 0)
            ++count;
    }
    return count;
}

} // namespace

TEST(CrashSafety, WriterKilledAtRandomMomentsLeavesAWholeRecord)
{
    ScopedCurrentDir dir;
    const ConfigRecord original = patternedRecord(10);
    const ConfigRecord first = patternedRecord(20);
    const ConfigRecord second = patternedRecord(30);
    ASSERT_TRUE(writeConfig(kConfigFileName, original));

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
    int sawOriginal = 0;
    int sawNew = 0;
    int strayTemporaries = 0;
    for (int iteration = 0; iteration < 50; ++iteration) {
        // The child says when its first write is done, so that the kill falls
        // among its writes and not before them: a forked child under the
        // sanitizers or on a loaded machine may take longer to get going than
        // the whole random pause.
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(started[0]);
            for (int n = 0;; ++n) {
                writeConfig(kConfigFileName, n % 2 == 0 ? first : second);
                if (n == 0) {
                    const char ready = 1;
                    [[maybe_unused]] const auto sent = ::write(started[1], &ready, 1);
                    ::close(started[1]);
                }
            }
        }
        ::close(started[1]);
        char ready = 0;
        [[maybe_unused]] const auto received = ::read(started[0], &ready, 1);
        ::close(started[0]);
        // The point of the test is an unforeseeable moment, so here a real pause
        // stands in for an event.
        ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);

        const Bytes content = readBytes(kCfg);
        ASSERT_EQ(content.size(), kConfigRecordSize) << "iteration " << iteration;
        ConfigRecord read;
        ASSERT_TRUE(readConfig(kConfigFileName, read));
        const bool isOriginal = read == original;
        ASSERT_TRUE(isOriginal || read == first || read == second) << "iteration " << iteration;
        (isOriginal ? sawOriginal : sawNew) += 1;
        strayTemporaries += countTemporaries(dir.path());
    }
    std::cout << "[ info ] original " << sawOriginal << ", new " << sawNew
              << ", stray temporaries seen " << strayTemporaries << '\n';
    EXPECT_GT(sawNew, 0); // the children did get to write

    // The next regular write sweeps away whatever a killed writer left.
    ASSERT_TRUE(writeConfig(kConfigFileName, original));
    EXPECT_EQ(countTemporaries(dir.path()), 0);
    EXPECT_EQ(readBytes(kCfg), recordBytes(original));
}

TEST(CrashSafety, FileSizeLimitFailsTheWriteAndKeepsTheOldFile)
{
    ScopedCurrentDir dir;
    const Bytes old = recordBytes(patternedRecord(1));
    ASSERT_TRUE(writeConfig(kConfigFileName, patternedRecord(1)));

    const int status = inChild([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 100, 100 };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
        return writeConfig(kConfigFileName, patternedRecord(2)) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "writeConfig should have answered false";
    EXPECT_EQ(readBytes(kCfg), old);
    EXPECT_EQ(countTemporaries(dir.path()), 0);
}

TEST(CrashSafety, FullFileSystemFailsTheWriteAndKeepsTheOldFile)
{
    ScopedCurrentDir dir;
    fs::create_directory("disk");
    if (::mount("tmpfs", "disk", "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount
    {
        ~Unmount() { ::umount("disk"); }
    } unmount;
    const Bytes old = recordBytes(patternedRecord(1));
    ASSERT_TRUE(writeConfig("disk/dorvel.cfg", patternedRecord(1)));
    {
        // Fill every remaining block.
        std::FILE *filler = std::fopen("disk/filler", "wb");
        ASSERT_NE(filler, nullptr);
        const Bytes block(4096, 0x55);
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) { }
        std::fclose(filler);
    }

    EXPECT_FALSE(writeConfig("disk/dorvel.cfg", patternedRecord(2)));
    EXPECT_EQ(readBytes("disk/dorvel.cfg"), old);
    EXPECT_EQ(countTemporaries("disk"), 0);
}
