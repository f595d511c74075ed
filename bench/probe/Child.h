// The program under test: started as a child process in a scratch folder with
// a settings file of its own, stopped as a player would, and watched until its
// start screen shows.
#pragma once

#include "Probe.h"
#include "Watcher.h"

#include <sys/types.h>

#include <string>

namespace probe {

inline const char *const kMainTitle = "Halvenor Dorvel DAVED";

class Child
{
public:
    Child(const Options &options, bool soundOn, bool musicOn);
    ~Child();

    pid_t pid() const { return m_pid; }
    bool running();
    /// Asks with Escape (as often as there are windows), then SIGTERM, then SIGKILL.
    void stop(Watcher *screen, int escapes = 1);

    long long start = 0;

private:
    pid_t m_pid = -1;
    std::string m_folder;
};

bool isStartScreen(const TopWindow &w);

/// Waits for the start screen's first frame. With no sound device the program
/// first shows its information box: its first frame is recorded and it is
/// confirmed with Return, as a player would.
const TopWindow *waitForStartScreen(
    Watcher &screen, Child &child, long long *infoBoxFrame = nullptr);

struct IdleReading
{
    double cpuPercent = 0;
    double tickPercent = 0;
    std::string byThread; // "name 0.12%, ..." for the threads that ran
};

/// CPU time of the process over `seconds` while the display is watched.
IdleReading measureIdle(pid_t pid, Watcher &screen, int seconds);

} // namespace probe
