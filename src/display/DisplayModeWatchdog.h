#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace dorvel::display {

/**
 * A small process that puts the user's display mode back when this process ends
 * without doing so itself: a crash, SIGINT, SIGTERM, even SIGKILL. It is forked
 * while the program is still single-threaded and then waits on a pipe. Before the
 * mode is changed the program arms it with what to restore (an opaque snapshot);
 * after its own restore it disarms it. When the pipe closes because the program
 * has gone, an armed watchdog runs `restore` with the snapshot; a disarmed one
 * just ends.
 *
 * `restore` runs in the child process, which is single-threaded; it may open its
 * own display connection. It is given a few seconds before an alarm ends it.
 */
class DisplayModeWatchdog
{
public:
    using RestoreFunction = std::function<void(std::span<const std::uint8_t> snapshot)>;

    /// Forks the watchdog; started() is false when that failed.
    explicit DisplayModeWatchdog(RestoreFunction restore);
    /// Disarms and ends the watchdog, and reaps it.
    ~DisplayModeWatchdog();
    DisplayModeWatchdog(const DisplayModeWatchdog &) = delete;
    DisplayModeWatchdog &operator=(const DisplayModeWatchdog &) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    /// Hands over the snapshot and waits until the watchdog has it; false when
    /// it did not answer.
    bool arm(std::span<const std::uint8_t> snapshot);
    void disarm();

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
};

} // namespace dorvel::display
