#include "DisplayModeWatchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dorvel::display {

namespace {

    // Messages to the watchdog: 'A', a 32-bit length and the snapshot; or 'D'.
    constexpr char kArm = 'A';
    constexpr char kDisarm = 'D';
    constexpr char kAck = 'K';
    constexpr std::uint32_t kMaxSnapshot = 4096;
    constexpr unsigned kRestoreSeconds = 5;

    bool readAll(int fd, void *buffer, std::size_t size)
    {
        auto *bytes = static_cast<std::uint8_t *>(buffer);
        while (size > 0) {
            const ssize_t n = ::read(fd, bytes, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool writeAll(int fd, const void *buffer, std::size_t size)
    {
        const auto *bytes = static_cast<const std::uint8_t *>(buffer);
        while (size > 0) {
            const ssize_t n = ::write(fd, bytes, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    [[noreturn]] void runWatchdog(
        int commands, int answers, const DisplayModeWatchdog::RestoreFunction &restore)
    {
        // Leave the terminal's process group so that Ctrl-C and a closed terminal
        // reach the program but not its watchdog, and let nothing but the end of the
        // program end the wait.
        ::setsid();
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGTERM, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        ::signal(SIGPIPE, SIG_IGN);

        bool armed = false;
        std::vector<std::uint8_t> snapshot;
        for (;;) {
            char command = 0;
            if (!readAll(commands, &command, 1))
                break; // the program has gone
            if (command == kArm) {
                std::uint32_t size = 0;
                if (!readAll(commands, &size, sizeof size) || size > kMaxSnapshot)
                    break;
                snapshot.assign(size, 0);
                if (!readAll(commands, snapshot.data(), size))
                    break;
                armed = true;
                writeAll(answers, &kAck, 1);
            } else if (command == kDisarm) {
                armed = false;
            }
        }
        if (armed) {
            // Should the display server hang, do not hang with it.
            ::signal(SIGALRM, SIG_DFL);
            ::alarm(kRestoreSeconds);
            restore(snapshot);
        }
        ::_exit(0);
    }

} // namespace

DisplayModeWatchdog::DisplayModeWatchdog(RestoreFunction restore)
{
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        runWatchdog(toChild[0], fromChild[1], restore);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (pid < 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        return;
    }
    m_pid = pid;
    m_toChild = toChild[1];
    m_fromChild = fromChild[0];
}

DisplayModeWatchdog::~DisplayModeWatchdog()
{
    if (m_pid <= 0)
        return;
    disarm();
    ::close(m_toChild);
    ::close(m_fromChild);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
}

bool DisplayModeWatchdog::arm(std::span<const std::uint8_t> snapshot)
{
    if (m_pid <= 0 || snapshot.size() > kMaxSnapshot)
        return false;
    const auto size = static_cast<std::uint32_t>(snapshot.size());
    // SIGPIPE would end the program if the watchdog had died; MSG_NOSIGNAL is for
    // sockets only, so ignore it around the write.
    struct sigaction ignore
    {
    };
    struct sigaction previous
    {
    };
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    const bool sent = writeAll(m_toChild, &kArm, 1) && writeAll(m_toChild, &size, sizeof size)
        && writeAll(m_toChild, snapshot.data(), snapshot.size());
    ::sigaction(SIGPIPE, &previous, nullptr);
    if (!sent)
        return false;
    pollfd answer { m_fromChild, POLLIN, 0 };
    if (::poll(&answer, 1, 2000) != 1)
        return false;
    char ack = 0;
    return readAll(m_fromChild, &ack, 1) && ack == kAck;
}

void DisplayModeWatchdog::disarm()
{
    if (m_pid <= 0)
        return;
    struct sigaction ignore
    {
    };
    struct sigaction previous
    {
    };
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    writeAll(m_toChild, &kDisarm, 1);
    ::sigaction(SIGPIPE, &previous, nullptr);
}

} // namespace dorvel::display
