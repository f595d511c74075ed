// Measures the real program from outside, the way a player meets it: it starts
// bin/dorvel20 as a child process on the current X display and watches the
// display for the program's windows (created, mapped, first drawn), clicks
// where a player would click, and reads the child's CPU time and memory from
// /proc. The program itself is not changed or instrumented in any way.
//
// "First frame" of a window is the first DAMAGE report on that window after it
// was mapped: Qt creates its windows without a server-drawn background, so the
// first damage is the first picture the program itself puts there. The damage
// object is made when the window is created (CreateNotify), long before it is
// mapped, so the first frame cannot slip past unseen.
//
// XTest and DAMAGE are opened at run time (libXtst.so.6, libXdamage.so.1, both
// present wherever Mesa and xdotool are), so no further development packages
// are needed.
//
// Usage: bench_probe --exe PATH --scenario startup|game|idle|floor [--runs N]
//                    [--music on|off] [--no-sound-device] [--idle-seconds S]
//                    [--label TEXT] [--arg ARG]...
//
// The scenario `floor` times bench_floor (the toolkit's floor, see
// bench/floor): its first frame and its resident memory, named by --label
// ("A" or "B"); --arg passes arguments to the program (--gl for floor B).
#include "BenchStats.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using bench::monotonicNs;

constexpr long long kMs = 1000000LL;
constexpr long long kSecond = 1000 * kMs;

// --- The two X extensions, opened at run time --------------------------------

using XID_t = unsigned long;
struct DamageNotifyEvent // the layout of Xdamage.h's XDamageNotifyEvent
{
    int type;
    unsigned long serial;
    Bool send_event;
    Display *display;
    Drawable drawable;
    XID_t damage;
    int level;
    Bool more;
    Time timestamp;
    XRectangle area;
    XRectangle geometry;
};
constexpr int kDamageReportNonEmpty = 3;

struct Extensions
{
    Bool (*damageQuery)(Display *, int *, int *) = nullptr;
    XID_t (*damageCreate)(Display *, Drawable, int) = nullptr;
    void (*damageSubtract)(Display *, XID_t, XID_t, XID_t) = nullptr;
    int (*fakeMotion)(Display *, int, int, int, unsigned long) = nullptr;
    int (*fakeButton)(Display *, unsigned int, Bool, unsigned long) = nullptr;
    int (*fakeKey)(Display *, unsigned int, Bool, unsigned long) = nullptr;

    void open()
    {
        void *damage = dlopen("libXdamage.so.1", RTLD_NOW | RTLD_GLOBAL);
        void *test = dlopen("libXtst.so.6", RTLD_NOW | RTLD_GLOBAL);
        if (!damage || !test)
            throw std::runtime_error("libXdamage.so.1 or libXtst.so.6 not found");
        damageQuery
            = reinterpret_cast<decltype(damageQuery)>(dlsym(damage, "XDamageQueryExtension"));
        damageCreate = reinterpret_cast<decltype(damageCreate)>(dlsym(damage, "XDamageCreate"));
        damageSubtract
            = reinterpret_cast<decltype(damageSubtract)>(dlsym(damage, "XDamageSubtract"));
        fakeMotion = reinterpret_cast<decltype(fakeMotion)>(dlsym(test, "XTestFakeMotionEvent"));
        fakeButton = reinterpret_cast<decltype(fakeButton)>(dlsym(test, "XTestFakeButtonEvent"));
        fakeKey = reinterpret_cast<decltype(fakeKey)>(dlsym(test, "XTestFakeKeyEvent"));
        if (!damageQuery || !damageCreate || !damageSubtract || !fakeMotion || !fakeButton
            || !fakeKey)
            throw std::runtime_error("an XDamage or XTest function is missing");
    }
};

int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
} // windows may vanish under us

// --- /proc readings -----------------------------------------------------------

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// CPU time of every thread of the process, in ns, from the scheduler's accounting.
long long processRunNs(pid_t pid)
{
    long long total = 0;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(taskDir.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::istringstream in(readFile(taskDir + "/" + entry->d_name + "/schedstat"));
            long long ns = 0;
            if (in >> ns)
                total += ns;
        }
        closedir(dir);
    }
    return total;
}

/// CPU time per thread (tid -> name, ns), for saying who is awake while idle.
std::map<std::string, std::pair<std::string, long long>> threadRunNs(pid_t pid)
{
    std::map<std::string, std::pair<std::string, long long>> threads;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(taskDir.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string base = taskDir + "/" + entry->d_name;
            std::istringstream in(readFile(base + "/schedstat"));
            long long ns = 0;
            in >> ns;
            std::string name = readFile(base + "/comm");
            while (!name.empty() && name.back() == '\n')
                name.pop_back();
            if (std::to_string(pid) == entry->d_name)
                name = "main thread";
            else
                name = "thread " + std::string(entry->d_name) + " '" + name + "'";
            threads[entry->d_name] = { name, ns };
        }
        closedir(dir);
    }
    return threads;
}

/// utime + stime of the process in clock ticks (/proc/<pid>/stat fields 14 and 15).
long long processTicks(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return utime + stime;
}

/// A "Key:   123 kB" value of a /proc status-like file, in kB.
long long procKb(const std::string &path, const std::string &key)
{
    std::istringstream in(readFile(path));
    std::string line;
    long long sum = 0;
    bool found = false;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            std::istringstream value(line.substr(key.size() + 1));
            long long kb = 0;
            value >> kb;
            sum += kb;
            found = true;
        }
    }
    return found ? sum : -1;
}

struct Memory
{
    double rssMb = 0;
    double privateMb = 0;
    int threads = 0;
};

Memory memoryOf(pid_t pid)
{
    const std::string base = "/proc/" + std::to_string(pid);
    Memory memory;
    memory.rssMb = static_cast<double>(procKb(base + "/status", "VmRSS")) / 1024.0;
    memory.privateMb = static_cast<double>(procKb(base + "/smaps_rollup", "Private_Clean")
                           + procKb(base + "/smaps_rollup", "Private_Dirty"))
        / 1024.0;
    memory.threads = static_cast<int>(procKb(base + "/status", "Threads"));
    return memory;
}

/// The mappings that hold most resident memory, summed by file ("[anon]" for
/// anonymous ones): "name rss/private MB, ...".
std::string topMappings(pid_t pid, std::size_t count)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/smaps"));
    std::map<std::string, std::pair<long long, long long>> byName; // rss kB, private kB
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const bool header = line.find(':') > line.find(' ') && line.find('-') < line.find(' ');
        if (header) {
            std::istringstream fields(line);
            std::string range, perms, offset, dev, inode, path;
            fields >> range >> perms >> offset >> dev >> inode;
            std::getline(fields, path);
            const auto first = path.find_first_not_of(' ');
            path = first == std::string::npos ? "[anon]" : path.substr(first);
            const auto slash = path.rfind('/');
            current = slash == std::string::npos ? path : path.substr(slash + 1);
            continue;
        }
        std::istringstream fields(line);
        std::string key;
        long long kb = 0;
        fields >> key >> kb;
        if (key == "Rss:")
            byName[current].first += kb;
        else if (key == "Private_Clean:" || key == "Private_Dirty:")
            byName[current].second += kb;
    }
    std::vector<std::pair<std::string, std::pair<long long, long long>>> sorted(
        byName.begin(), byName.end());
    std::sort(sorted.begin(), sorted.end(),
        [](const auto &a, const auto &b) { return a.second.first > b.second.first; });
    std::string text;
    for (std::size_t i = 0; i < sorted.size() && i < count; ++i) {
        char item[200];
        std::snprintf(item, sizeof item, "%s%s %.1f/%.1f", text.empty() ? "" : ", ",
            sorted[i].first.c_str(), static_cast<double>(sorted[i].second.first) / 1024.0,
            static_cast<double>(sorted[i].second.second) / 1024.0);
        text += item;
    }
    return text;
}

// --- The settings file ---------------------------------------------------------

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
    out.write(
        reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// --- Watching the display ------------------------------------------------------

struct TopWindow
{
    Window id = 0;
    XID_t damage = 0;
    long long created = 0;
    long long mapped = 0; // first MapNotify
    long long firstFrame = 0; // first damage after mapping
    bool isMapped = false;
    bool destroyed = false;
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
    int order = -1; // place in the order of mapping
};

class Watcher
{
public:
    Watcher()
    {
        m_ext.open();
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            throw std::runtime_error("cannot open the X display");
        XSetErrorHandler(ignoreXErrors);
        int errorBase = 0;
        if (!m_ext.damageQuery(m_display, &m_damageEvent, &errorBase))
            throw std::runtime_error("the X server has no DAMAGE extension");
        m_root = DefaultRootWindow(m_display);
        XSelectInput(m_display, m_root, SubstructureNotifyMask);
        XSync(m_display, False);
    }
    ~Watcher() { XCloseDisplay(m_display); }

    void reset()
    {
        pump(0);
        m_windows.clear();
        m_mapCount = 0;
    }

    /// Handles X events until `deadline` (monotonic ns) or until `done` holds.
    bool pumpUntil(long long deadline, const std::function<bool()> &done)
    {
        while (true) {
            while (XPending(m_display) > 0)
                handle();
            if (done && done())
                return true;
            const long long now = monotonicNs();
            if (now >= deadline)
                return false;
            const int fd = ConnectionNumber(m_display);
            fd_set read;
            FD_ZERO(&read);
            FD_SET(fd, &read);
            long long wait = std::min(deadline - now, 20 * kMs);
            timeval timeout { static_cast<time_t>(wait / kSecond),
                static_cast<suseconds_t>((wait % kSecond) / 1000) };
            select(fd + 1, &read, nullptr, nullptr, &timeout);
        }
    }
    void pump(long long forNs) { pumpUntil(monotonicNs() + forNs, {}); }

    /// The first mapped window after map number `after` that matches.
    const TopWindow *find(const std::function<bool(const TopWindow &)> &match, int after = -1) const
    {
        const TopWindow *best = nullptr;
        for (const auto &[id, window] : m_windows) {
            if (window.order > after && window.order >= 0 && match(window)
                && (!best || window.order < best->order))
                best = &window;
        }
        return best;
    }
    int mapCount() const { return m_mapCount; }

    void click(int x, int y)
    {
        m_ext.fakeMotion(m_display, -1, x, y, 0);
        m_ext.fakeButton(m_display, 1, True, 0);
        m_ext.fakeButton(m_display, 1, False, 0);
        XFlush(m_display);
    }
    void move(int x, int y)
    {
        m_ext.fakeMotion(m_display, -1, x, y, 0);
        XFlush(m_display);
    }
    void key(KeySym symbol)
    {
        const unsigned code = XKeysymToKeycode(m_display, symbol);
        m_ext.fakeKey(m_display, code, True, 0);
        m_ext.fakeKey(m_display, code, False, 0);
        XFlush(m_display);
    }

private:
    void handle()
    {
        XEvent event;
        XNextEvent(m_display, &event);
        const long long now = monotonicNs();
        if (event.type == CreateNotify && event.xcreatewindow.parent == m_root) {
            TopWindow &window = m_windows[event.xcreatewindow.window];
            window.id = event.xcreatewindow.window;
            window.created = now;
            window.damage = m_ext.damageCreate(m_display, window.id, kDamageReportNonEmpty);
        } else if (event.type == MapNotify && event.xmap.event == m_root) {
            auto it = m_windows.find(event.xmap.window);
            if (it == m_windows.end())
                return;
            TopWindow &window = it->second;
            window.isMapped = true;
            if (window.mapped == 0) {
                window.mapped = now;
                window.order = m_mapCount++;
                char *name = nullptr;
                if (XFetchName(m_display, window.id, &name) && name) {
                    window.name = name;
                    XFree(name);
                }
                Window root = 0;
                unsigned w = 0, h = 0, border = 0, depth = 0;
                XGetGeometry(
                    m_display, window.id, &root, &window.x, &window.y, &w, &h, &border, &depth);
                window.width = static_cast<int>(w);
                window.height = static_cast<int>(h);
            }
        } else if (event.type == UnmapNotify && event.xunmap.event == m_root) {
            auto it = m_windows.find(event.xunmap.window);
            if (it != m_windows.end())
                it->second.isMapped = false;
        } else if (event.type == DestroyNotify && event.xdestroywindow.event == m_root) {
            auto it = m_windows.find(event.xdestroywindow.window);
            if (it != m_windows.end())
                it->second.destroyed = true;
        } else if (event.type == m_damageEvent) {
            const auto &damage = reinterpret_cast<const DamageNotifyEvent &>(event);
            auto it = m_windows.find(damage.drawable);
            if (it == m_windows.end())
                return;
            TopWindow &window = it->second;
            // The X server hands a new client the window ids of one that has
            // gone, so a late report about the last run's window can name this
            // run's: only reports of this window's own damage object count.
            if (damage.damage != window.damage)
                return;
            if (window.mapped != 0 && window.firstFrame == 0) {
                window.firstFrame = now; // one report is all we need: not re-armed
            } else if (window.mapped == 0) {
                // Drawn before it was mapped: re-arm, the player has seen nothing yet.
                m_ext.damageSubtract(m_display, window.damage, 0, 0);
            }
        }
    }

    Extensions m_ext;
    Display *m_display = nullptr;
    Window m_root = 0;
    int m_damageEvent = 0;
    int m_mapCount = 0;
    std::map<Window, TopWindow> m_windows;
};

// --- The program under test -----------------------------------------------------

struct Options
{
    std::string exe;
    std::string scenario;
    int runs = 5;
    bool musicOn = false;
    bool soundDevice = true;
    int idleSeconds = 10;
    std::string label;
    std::vector<std::string> args;
};

const char *const kMainTitle = "Halvenor Dorvel DAVED";

class Child
{
public:
    Child(const Options &options, bool soundOn, bool musicOn)
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
    ~Child()
    {
        stop(nullptr);
        std::system(("rm -rf '" + m_folder + "'").c_str());
    }

    pid_t pid() const { return m_pid; }
    bool running()
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
    /// Asks with Escape (as often as there are windows), then SIGTERM, then SIGKILL.
    void stop(Watcher *screen, int escapes = 1)
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

    long long start = 0;

private:
    pid_t m_pid = -1;
    std::string m_folder;
};

double ms(long long ns)
{
    return static_cast<double>(ns) / 1e6;
}

bool isStartScreen(const TopWindow &w)
{
    return w.name == kMainTitle && w.width == 800;
}

/// Waits for the start screen's first frame. With no sound device the program
/// first shows its information box: its first frame is recorded and it is
/// confirmed with Return, as a player would.
const TopWindow *waitForStartScreen(
    Watcher &screen, Child &child, long long *infoBoxFrame = nullptr)
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

struct IdleReading
{
    double cpuPercent = 0;
    double tickPercent = 0;
    std::string byThread; // "name 0.12%, ..." for the threads that ran
};

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

// --- Scenarios -------------------------------------------------------------------

void scenarioStartup(const Options &options, Watcher &screen)
{
    std::vector<double> mapped, firstFrame, backdrop, infoBox;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, true, options.musicOn);
        long long boxFrame = 0;
        const TopWindow *main = waitForStartScreen(screen, child, &boxFrame);
        if (!main) {
            std::fprintf(stderr, "startup run %d: no start screen\n", run);
            continue;
        }
        mapped.push_back(ms(main->mapped - child.start));
        firstFrame.push_back(ms(main->firstFrame - child.start));
        if (boxFrame)
            infoBox.push_back(ms(boxFrame - child.start));
        if (const TopWindow *back
            = screen.find([](const TopWindow &w) { return w.name == "Halvenor Dorvel"; }))
            backdrop.push_back(ms(back->mapped - child.start));
        screen.pump(300 * kMs);
        child.stop(&screen);
    }
    if (!infoBox.empty()) {
        bench::printRunsRow("Start-up: to information box shown", infoBox, "ms", "-", "A");
        bench::printNote("Without a sound device the program first shows its information box; the "
                         "start screen follows once it is confirmed, so only the box is timed.");
        return;
    }
    bench::printRunsRow("Start-up: to backdrop mapped", backdrop, "ms", "-", "A");
    bench::printRunsRow("Start-up: to start screen mapped", mapped, "ms", "-", "A");
    bench::printRunsRow(
        "Start-up: to start screen first frame", firstFrame, "ms", "<= 1.3x A", "A");
}

// The floor program: its first frame and memory, as the game's are measured.
void scenarioFloor(const Options &options, Watcher &screen)
{
    std::vector<double> firstFrame, rss, priv;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, false, false);
        const TopWindow *window = nullptr;
        screen.pumpUntil(monotonicNs() + 30 * kSecond, [&] {
            window = screen.find([](const TopWindow &w) { return w.width == 800; });
            return (window && window->firstFrame) || !child.running();
        });
        if (!window || !window->firstFrame) {
            std::fprintf(stderr, "floor run %d: no first frame\n", run);
            continue;
        }
        firstFrame.push_back(ms(window->firstFrame - child.start));
        screen.pump(2 * kSecond); // as long as the game's idle readings wait
        const Memory memory = memoryOf(child.pid());
        rss.push_back(memory.rssMb);
        priv.push_back(memory.privateMb);
        child.stop(nullptr);
    }
    const std::string name = "Floor " + options.label;
    bench::printRunsRow(name + ": start to first frame", firstFrame, "ms", "-", options.label);
    bench::printRunsRow(name + ": memory resident (VmRSS)", rss, "MB", "-", options.label + "mem");
    bench::printRunsRow(name + ": memory private (smaps_rollup)", priv, "MB", "-");
}

void scenarioIdle(const Options &options, Watcher &screen)
{
    std::vector<double> cpu, ticks, rss, priv, threads;
    std::string byThread;
    std::string mappings;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, true, options.musicOn);
        const TopWindow *main = waitForStartScreen(screen, child);
        if (!main) {
            std::fprintf(stderr, "idle run %d: no start screen\n", run);
            continue;
        }
        screen.pump(2 * kSecond); // let start-up work (decoding, first playbacks) finish
        const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
        const Memory memory = memoryOf(child.pid());
        cpu.push_back(reading.cpuPercent);
        ticks.push_back(reading.tickPercent);
        rss.push_back(memory.rssMb);
        priv.push_back(memory.privateMb);
        threads.push_back(memory.threads);
        byThread = reading.byThread;
        mappings = topMappings(child.pid(), 10);
        child.stop(&screen);
    }
    const std::string what = std::string("start screen, music ") + (options.musicOn ? "on" : "off")
        + (options.soundDevice ? "" : ", no sound device");
    const bool judged = options.soundDevice;
    bench::printRunsRow("Idle CPU " + std::to_string(options.idleSeconds) + " s: " + what, cpu, "%",
        options.musicOn ? "-" : "<= 0.05");
    bench::printRunsRow("  same, from utime+stime (10 ms ticks)", ticks, "%", "-");
    bench::printRunsRow("Memory resident (VmRSS): " + what, rss, "MB",
        judged && options.musicOn ? "<= 1.1x Bmem" : "-", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): " + what, priv, "MB", "-");
    bench::printRunsRow("Threads: " + what, threads, "", "-");
    bench::printNote("Largest mappings, " + what + " (resident/private MB): " + mappings);
    bench::printNote("Idle CPU by thread (" + what
        + ", last run): " + (byThread.empty() ? "none ran" : byThread));
}

void scenarioGame(const Options &options, Watcher &screen)
{
    std::vector<double> namesShown, gameMapped, gameFrame, rollRss, rollPriv, idleCpu, idleTicks,
        settledRss, settledPriv;
    std::string byThread;
    std::string mappings;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, true, options.musicOn);
        const TopWindow *main = waitForStartScreen(screen, child);
        if (!main) {
            std::fprintf(stderr, "game run %d: no start screen\n", run);
            continue;
        }
        screen.pump(1 * kSecond);

        // The start picture imgOK (576, 309, 70×70) opens the names dialog.
        int before = screen.mapCount() - 1;
        long long clicked = monotonicNs();
        screen.click(576 + 35, 309 + 35);
        const TopWindow *names = nullptr;
        screen.pumpUntil(monotonicNs() + 10 * kSecond, [&] {
            names = screen.find(
                [](const TopWindow &w) { return w.width > 1 && w.width < 800; }, before);
            return names && names->firstFrame;
        });
        if (!names || !names->firstFrame) {
            std::fprintf(stderr, "game run %d: no names dialog\n", run);
            continue;
        }
        namesShown.push_back(ms(names->firstFrame - clicked));
        screen.pump(500 * kMs);

        // OK of the names dialog: SpeedButton1 at (71, 174, 73×22) on Panel1 at (1, 1).
        before = screen.mapCount() - 1;
        const int okX = names->x + 1 + 71 + 36;
        const int okY = names->y + 1 + 174 + 11;
        screen.move(okX, okY);
        screen.pump(100 * kMs);
        clicked = monotonicNs();
        screen.click(okX, okY);
        const TopWindow *table = nullptr;
        screen.pumpUntil(monotonicNs() + 10 * kSecond, [&] {
            table = screen.find([](const TopWindow &w) { return w.width == 800; }, before);
            return table && table->firstFrame;
        });
        if (!table || !table->firstFrame) {
            std::fprintf(stderr, "game run %d: no game table\n", run);
            continue;
        }
        gameMapped.push_back(ms(table->mapped - clicked));
        gameFrame.push_back(ms(table->firstFrame - clicked));

        // The dice roll from the start of the turn; memory while they do.
        screen.pump(1 * kSecond);
        Memory memory = memoryOf(child.pid());
        rollRss.push_back(memory.rssMb);
        rollPriv.push_back(memory.privateMb);

        // "Stop !!!" (btnWuerfeln at 608, 544, 153×33); settling takes at most 1.25 s.
        screen.click(608 + 76, 544 + 16);
        screen.pump(3 * kSecond);
        const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
        idleCpu.push_back(reading.cpuPercent);
        idleTicks.push_back(reading.tickPercent);
        byThread = reading.byThread;
        memory = memoryOf(child.pid());
        settledRss.push_back(memory.rssMb);
        settledPriv.push_back(memory.privateMb);
        mappings = topMappings(child.pid(), 10);
        child.stop(&screen, 2);
    }
    bench::printRunsRow(
        "Names dialog: click on start picture to first frame", namesShown, "ms", "-");
    bench::printRunsRow("Into a game: names OK to game table mapped", gameMapped, "ms", "-");
    bench::printRunsRow("Into a game: names OK to game table first frame", gameFrame, "ms",
        "<= 1.3x B, <= 120", "B");
    bench::printRunsRow(
        "Idle CPU " + std::to_string(options.idleSeconds) + " s: settled game table", idleCpu, "%",
        "<= 0.05");
    bench::printRunsRow("  same, from utime+stime (10 ms ticks)", idleTicks, "%", "-");
    bench::printNote("Largest mappings, settled game (resident/private MB): " + mappings);
    bench::printNote("Idle CPU by thread (settled game table, last run): "
        + (byThread.empty() ? "none ran" : byThread));
    bench::printRunsRow(
        "Memory resident (VmRSS): game, dice rolling", rollRss, "MB", "<= 1.25x Bmem", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): game, dice rolling", rollPriv, "MB", "-");
    bench::printRunsRow(
        "Memory resident (VmRSS): game, settled", settledRss, "MB", "<= 1.25x Bmem", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): game, settled", settledPriv, "MB", "-");
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error("missing value after " + arg);
            return argv[++i];
        };
        if (arg == "--exe")
            options.exe = next();
        else if (arg == "--scenario")
            options.scenario = next();
        else if (arg == "--runs")
            options.runs = std::stoi(next());
        else if (arg == "--music")
            options.musicOn = next() == "on";
        else if (arg == "--no-sound-device")
            options.soundDevice = false;
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::stoi(next());
        else if (arg == "--label")
            options.label = next();
        else if (arg == "--arg")
            options.args.push_back(next());
        else
            throw std::runtime_error("unknown argument " + arg);
    }
    if (options.exe.empty() || options.scenario.empty())
        throw std::runtime_error(
            "usage: bench_probe --exe PATH --scenario startup|game|idle|floor ...");
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const Options options = parse(argc, argv);
        if (!options.label.empty() && options.scenario != "floor")
            bench::rowSuffix() = " (" + options.label + ")";
        Watcher screen;
        if (options.scenario == "startup")
            scenarioStartup(options, screen);
        else if (options.scenario == "idle")
            scenarioIdle(options, screen);
        else if (options.scenario == "game")
            scenarioGame(options, screen);
        else if (options.scenario == "floor")
            scenarioFloor(options, screen);
        else
            throw std::runtime_error("unknown scenario " + options.scenario);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_probe: %s\n", error.what());
        return 1;
    }
    return 0;
}
