// The display-mode watchdog: an armed watchdog restores when its program dies
// without restoring (here: SIGKILL), a disarmed one and one never armed do not.
#include "display/DisplayModeWatchdog.h"
#include "display/DisplayMode.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using dorvel::display::DisplayModeWatchdog;

namespace {

enum class Ending { KilledWhileArmed, ExitAfterDisarm, ExitNeverArmed };

// Runs a stand-in program in a child process that forks a watchdog whose
// "restore" writes the snapshot to `marker`, then ends as `ending` says. Returns
// once the watchdog itself has ended.
void runProgram(Ending ending, const std::string &marker)
{
    // Orphaned watchdogs come to us, so we can wait for them.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int pidPipe[2];
    ASSERT_EQ(pipe(pidPipe), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        close(pidPipe[0]);
        DisplayModeWatchdog watchdog([marker](std::span<const std::uint8_t> snapshot) {
            const int fd = open(marker.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd >= 0) {
                [[maybe_unused]] const auto n = write(fd, snapshot.data(), snapshot.size());
                close(fd);
            }
        });
        const pid_t dog = watchdog.pid();
        [[maybe_unused]] const auto n = write(pidPipe[1], &dog, sizeof dog);
        const std::array<std::uint8_t, 3> snapshot { 7, 8, 9 };
        if (ending != Ending::ExitNeverArmed && !watchdog.arm(snapshot))
            _exit(3);
        if (ending == Ending::KilledWhileArmed)
            raise(SIGKILL);
        if (ending == Ending::ExitAfterDisarm)
            watchdog.disarm();
        _exit(0); // without the watchdog's destructor: the pipe closes as in a crash
    }
    close(pidPipe[1]);
    pid_t dog = -1;
    ASSERT_EQ(read(pidPipe[0], &dog, sizeof dog), static_cast<ssize_t>(sizeof dog));
    close(pidPipe[0]);
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    if (ending == Ending::KilledWhileArmed)
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    else
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(dog, 0);
    ASSERT_EQ(waitpid(dog, &status, 0), dog);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(DisplayModeWatchdog, RestoresWhenTheProgramIsKilledWhileArmed)
{
    QTemporaryDir dir;
    const std::string marker = dir.filePath("restored").toStdString();
    runProgram(Ending::KilledWhileArmed, marker);
    EXPECT_EQ(dorvel::test::readBytes(marker), (dorvel::test::Bytes { 7, 8, 9 }));
}

TEST(DisplayModeWatchdog, DoesNothingAfterDisarmOrWhenNeverArmed)
{
    QTemporaryDir dir;
    const std::string marker = dir.filePath("restored").toStdString();
    runProgram(Ending::ExitAfterDisarm, marker);
    runProgram(Ending::ExitNeverArmed, marker);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(marker)));
}

TEST(DisplayModeWatchdog, NormalEndReapsTheWatchdog)
{
    pid_t pid = -1;
    {
        DisplayModeWatchdog watchdog([](std::span<const std::uint8_t>) {});
        ASSERT_TRUE(watchdog.started());
        const std::array<std::uint8_t, 1> snapshot { 1 };
        EXPECT_TRUE(watchdog.arm(snapshot));
        watchdog.disarm();
        pid = watchdog.pid();
    }
    // Reaped by the destructor: no such child any more.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
}

} // namespace

// The system adapter on the test's X server (a virtual one with a single mode):
// the current mode is among the listed ones, and asking for it changes nothing.
TEST(SystemDisplayModes, VirtualDisplayListsItsModeAndNeedsNoChange)
{
    const auto display = dorvel::display::createSystemDisplayModes();
    const auto current = display->current();
    const auto modes = display->modes();
    EXPECT_GT(current.width, 0);
    EXPECT_GT(current.depth, 0);
    EXPECT_NE(std::find(modes.begin(), modes.end(), current), modes.end());
    EXPECT_FALSE(display->switchTemporarily(current));
    display->restore();
    EXPECT_EQ(display->current(), current);
}
