#include "Watcher.h"

#include <X11/Xutil.h>

#include <dlfcn.h>
#include <sys/select.h>

#include <algorithm>
#include <stdexcept>

namespace probe {

namespace {

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

    // Windows may vanish under us.
    int ignoreXErrors(Display *, XErrorEvent *)
    {
        return 0;
    }

} // namespace

void Extensions::open()
{
    void *damage = dlopen("libXdamage.so.1", RTLD_NOW | RTLD_GLOBAL);
    void *test = dlopen("libXtst.so.6", RTLD_NOW | RTLD_GLOBAL);
    if (!damage || !test)
        throw std::runtime_error("libXdamage.so.1 or libXtst.so.6 not found");
    damageQuery = reinterpret_cast<decltype(damageQuery)>(dlsym(damage, "XDamageQueryExtension"));
    damageCreate = reinterpret_cast<decltype(damageCreate)>(dlsym(damage, "XDamageCreate"));
    damageSubtract = reinterpret_cast<decltype(damageSubtract)>(dlsym(damage, "XDamageSubtract"));
    fakeMotion = reinterpret_cast<decltype(fakeMotion)>(dlsym(test, "XTestFakeMotionEvent"));
    fakeButton = reinterpret_cast<decltype(fakeButton)>(dlsym(test, "XTestFakeButtonEvent"));
    fakeKey = reinterpret_cast<decltype(fakeKey)>(dlsym(test, "XTestFakeKeyEvent"));
    if (!damageQuery || !damageCreate || !damageSubtract || !fakeMotion || !fakeButton || !fakeKey)
        throw std::runtime_error("an XDamage or XTest function is missing");
}

Watcher::Watcher()
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

bool Watcher::pumpUntil(long long deadline, const std::function<bool()> &done)
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

const TopWindow *Watcher::find(const std::function<bool(const TopWindow &)> &match, int after) const
{
    const TopWindow *best = nullptr;
    for (const auto &[id, window] : m_windows) {
        if (window.order > after && window.order >= 0 && match(window)
            && (!best || window.order < best->order))
            best = &window;
    }
    return best;
}

void Watcher::click(int x, int y)
{
    m_ext.fakeMotion(m_display, -1, x, y, 0);
    m_ext.fakeButton(m_display, 1, True, 0);
    m_ext.fakeButton(m_display, 1, False, 0);
    XFlush(m_display);
}

void Watcher::move(int x, int y)
{
    m_ext.fakeMotion(m_display, -1, x, y, 0);
    XFlush(m_display);
}

void Watcher::key(KeySym symbol)
{
    const unsigned code = XKeysymToKeycode(m_display, symbol);
    m_ext.fakeKey(m_display, code, True, 0);
    m_ext.fakeKey(m_display, code, False, 0);
    XFlush(m_display);
}

void Watcher::handle()
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

} // namespace probe
