// A player whose "dorvel.cfg" may be written but not read (mode 0200) must not
// lose the high scores in it: every writer writes back the record it read, so a
// record that could not be read must not replace the file. Root reads any file,
// so the check runs in a child process that has given up root.
#include "RobustnessSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dorvel;
using namespace dorvel::test;

namespace {

constexpr uid_t kNobody = 65534;

TEST(UnreadableConfig, WriteOnlyFileIsNotReplacedByARecordThatWasNeverRead)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    ScopedCurrentDir dir;
    const Bytes original = settingsBytes(1, 1);
    writeBytes(storage::kConfigFileName, original);
    ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
    ASSERT_EQ(::chown(storage::kConfigFileName, kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(storage::kConfigFileName, 0200), 0);

    // What a start screen's closing does: read, change the switches, write back.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setresgid(kNobody, kNobody, kNobody) != 0
            || ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(10);
        storage::ConfigRecord record;
        if (storage::readConfig(storage::kConfigFileName, record))
            ::_exit(11); // the file should not have been readable
        record.soundOn = 1;
        ::_exit(storage::writeConfig(storage::kConfigFileName, record) ? 12 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not drop root, 11: file was readable, "
                                         "12: the unread file was replaced";
    ::chmod(storage::kConfigFileName, 0644);
    EXPECT_EQ(readBytes(storage::kConfigFileName), original);
}

} // namespace
