// Watching the display: every top-level window's creation, mapping and first
// drawn frame (XDAMAGE), and synthetic input (XTest). Both extensions are opened
// at run time.
#pragma once

#include "Probe.h"

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <string>

namespace probe {

using XID_t = unsigned long;

/// XDAMAGE and XTest, looked up in their libraries at run time.
struct Extensions
{
    Bool (*damageQuery)(Display *, int *, int *) = nullptr;
    XID_t (*damageCreate)(Display *, Drawable, int) = nullptr;
    void (*damageSubtract)(Display *, XID_t, XID_t, XID_t) = nullptr;
    int (*fakeMotion)(Display *, int, int, int, unsigned long) = nullptr;
    int (*fakeButton)(Display *, unsigned int, Bool, unsigned long) = nullptr;
    int (*fakeKey)(Display *, unsigned int, Bool, unsigned long) = nullptr;

    void open();
};

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
    Watcher();
    ~Watcher() { XCloseDisplay(m_display); }

    void reset()
    {
        pump(0);
        m_windows.clear();
        m_mapCount = 0;
    }

    /// Handles X events until `deadline` (monotonic ns) or until `done` holds.
    bool pumpUntil(long long deadline, const std::function<bool()> &done);
    void pump(long long forNs) { pumpUntil(monotonicNs() + forNs, {}); }

    /// The first mapped window after map number `after` that matches.
    const TopWindow *find(
        const std::function<bool(const TopWindow &)> &match, int after = -1) const;
    int mapCount() const { return m_mapCount; }

    void click(int x, int y);
    void move(int x, int y);
    void key(KeySym symbol);

private:
    void handle();

    Extensions m_ext;
    Display *m_display = nullptr;
    Window m_root = 0;
    int m_damageEvent = 0;
    int m_mapCount = 0;
    std::map<Window, TopWindow> m_windows;
};

} // namespace probe
