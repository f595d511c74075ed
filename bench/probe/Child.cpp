#include "Child.h"
#include "ProcReadings.h"

#include <X11/keysym.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace probe {

namespace {

    /// A 324-byte "dorvel.cfg": the two switches, then twenty high-score slots of
    /// 16 bytes (length, 10 name bytes, filler, 32-bit little-endian points).
    void writeConfig(const std::string &folder, bool soundOn, bool musicOn)
    {
        std::vector<unsigned char> bytes(324, 0);
        bytes[0] = soundOn ? 1 : 0;
        bytes[1] = musicOn ? 1 : 0;
        for (int k = 0; k < 20; ++k) {
            unsigned char *slot = &bytes[4 + 16 * static_cast<std::size_t>(k)];
            const std::string name = "Bench" + std::to_string(k + 1);
            slot[0] = static_cast<unsigned char>(name.size());
            std::memcpy(slot + 1, name.data(), name.size());
            const std::uint32_t points = static_cast<std::uint32_t>(300 - 10 * k);
            for (int b = 0; b < 4; ++b)
                slot[12 + b] = static_cast<unsigned char>(points >> (8 * b));
        }
        std::ofstream out(folder + "/dorvel.cfg", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    }

} // namespace

Child::Child(const Options &options, bool soundOn, bool musicOn)
{
    char pattern[] = "/tmp/dorvel-bench-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    m_folder = pattern;
    writeConfig(m_folder, soundOn, musicOn);
    start = monotonicNs(); // "process start": just before fork and exec
    m_pid = fork();
    if (m_pid == 0) {
        if (chdir(m_folder.c_str()) != 0)
            _exit(127);
        if (options.soundDevice)
            setenv("ALSOFT_DRIVERS", "null", 1);
        else
            unsetenv("ALSOFT_DRIVERS");
        std::vector<char *> argv { const_cast<char *>(options.exe.c_str()) };
        for (const std::string &arg : options.args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(options.exe.c_str(), argv.data());
        _exit(127);
    }
}

Child::~Child()
{
    stop(nullptr);
    std::system(("rm -rf '" + m_folder + "'").c_str());
}

bool Child::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

void Child::stop(Watcher *screen, int escapes)
{
    if (!running())
        return;
    if (screen) {
        for (int i = 0; i < escapes && running(); ++i) {
            screen->key(XK_Escape);
            screen->pumpUntil(monotonicNs() + 3 * kSecond, [this] { return !running(); });
        }
    }
    for (int signal : { SIGTERM, SIGKILL }) {
        if (!running())
            return;
        kill(m_pid, signal);
        for (int i = 0; i < 300 && running(); ++i)
            usleep(10000);
    }
}

bool isStartScreen(const TopWindow &w)
{
    return w.name == kMainTitle && w.width == 800;
}

const TopWindow *waitForStartScreen(Watcher &screen, Child &child, long long *infoBoxFrame)
{
    const long long deadline = monotonicNs() + 30 * kSecond;
    bool boxConfirmed = false;
    while (monotonicNs() < deadline && child.running()) {
        const TopWindow *main = screen.find(isStartScreen);
        if (main && main->firstFrame)
            return main;
        const TopWindow *box = screen.find([](const TopWindow &w) {
            return w.width < 800 && w.width > 1 && w.name != "Halvenor Dorvel";
        });
        if (box && box->firstFrame && !boxConfirmed && !main) {
            if (infoBoxFrame)
                *infoBoxFrame = box->firstFrame;
            screen.pump(300 * kMs);
            screen.key(XK_Return);
            boxConfirmed = true;
        }
        screen.pump(5 * kMs);
    }
    return nullptr;
}

IdleReading measureIdle(pid_t pid, Watcher &screen, int seconds)
{
    const auto threads0 = threadRunNs(pid);
    const long long run0 = processRunNs(pid);
    const long long ticks0 = processTicks(pid);
    const long long t0 = monotonicNs();
    screen.pump(static_cast<long long>(seconds) * kSecond);
    const long long t1 = monotonicNs();
    const long long run1 = processRunNs(pid);
    const long long ticks1 = processTicks(pid);
    const auto threads1 = threadRunNs(pid);
    IdleReading reading;
    for (const auto &[tid, thread] : threads1) {
        const auto before = threads0.find(tid);
        const long long ns = thread.second - (before == threads0.end() ? 0 : before->second.second);
        if (ns <= 0)
            continue;
        char text[128];
        std::snprintf(text, sizeof text, "%s%s %.3f%%", reading.byThread.empty() ? "" : ", ",
            thread.first.c_str(), 100.0 * static_cast<double>(ns) / static_cast<double>(t1 - t0));
        reading.byThread += text;
    }
    reading.cpuPercent = 100.0 * static_cast<double>(run1 - run0) / static_cast<double>(t1 - t0);
    const double tickNs = 1e9 / static_cast<double>(sysconf(_SC_CLK_TCK));
    reading.tickPercent
        = 100.0 * static_cast<double>(ticks1 - ticks0) * tickNs / static_cast<double>(t1 - t0);
    return reading;
}

} // namespace probe
