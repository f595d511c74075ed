// The display modes of an X display through XRandR 1.2: the modes of the primary
// output, a temporary change of its CRTC, and the change back, guarded by a
// watchdog process for the ways out that skip the normal restore.
#include "DisplayMode.h"

#ifdef DORVEL_HAVE_XRANDR

#include "DisplayModeWatchdog.h"

#include <QLoggingCategory>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace dorvel::display {

namespace {

    Q_LOGGING_CATEGORY(lcDisplay, "dorvel.display")

    // What a restore needs, as plain bytes so the watchdog can hold it.
    struct CrtcSnapshot
    {
        std::uint64_t crtc = 0;
        std::uint64_t mode = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::uint32_t rotation = RR_Rotate_0;
        std::uint32_t outputCount = 0;
        std::array<std::uint64_t, 16> outputs {};
        std::int32_t screenWidth = 0;
        std::int32_t screenHeight = 0;
        std::int32_t screenMmWidth = 0;
        std::int32_t screenMmHeight = 0;
    };

    // Xlib's default error handler ends the process; while we change modes a failed
    // request only sets this flag.
    int g_xError = 0;
    int recordXError(Display *, XErrorEvent *event)
    {
        g_xError = event->error_code;
        return 0;
    }

    class ErrorTrap
    {
    public:
        explicit ErrorTrap(Display *display)
            : m_display(display)
        {
            XSync(m_display, False);
            g_xError = 0;
            m_previous = XSetErrorHandler(recordXError);
        }
        ~ErrorTrap() { XSetErrorHandler(m_previous); }
        bool failed()
        {
            XSync(m_display, False);
            return g_xError != 0;
        }

    private:
        Display *m_display;
        int (*m_previous)(Display *, XErrorEvent *) = nullptr;
    };

    template <typename T, void (*Free)(T *)> struct XFree
    {
        void operator()(T *p) const
        {
            if (p != nullptr)
                Free(p);
        }
    };
    using ResourcesPtr
        = std::unique_ptr<XRRScreenResources, XFree<XRRScreenResources, XRRFreeScreenResources>>;
    using OutputPtr = std::unique_ptr<XRROutputInfo, XFree<XRROutputInfo, XRRFreeOutputInfo>>;
    using CrtcPtr = std::unique_ptr<XRRCrtcInfo, XFree<XRRCrtcInfo, XRRFreeCrtcInfo>>;

    const XRRModeInfo *findMode(const XRRScreenResources *resources, RRMode id)
    {
        for (int i = 0; i < resources->nmode; ++i) {
            if (resources->modes[i].id == id)
                return &resources->modes[i];
        }
        return nullptr;
    }

    double refreshRate(const XRRModeInfo &mode)
    {
        if (mode.hTotal == 0 || mode.vTotal == 0)
            return 0.0;
        return static_cast<double>(mode.dotClock)
            / (static_cast<double>(mode.hTotal) * static_cast<double>(mode.vTotal));
    }

    // Puts a CRTC back as the snapshot describes it, and the screen to its size.
    // Used by the program and, after the program has gone, by the watchdog.
    bool applySnapshot(Display *display, const CrtcSnapshot &snapshot)
    {
        const Window root = DefaultRootWindow(display);
        ResourcesPtr resources(XRRGetScreenResourcesCurrent(display, root));
        if (!resources)
            return false;
        ErrorTrap trap(display);
        const int screen = DefaultScreen(display);
        // Grow the screen first if the restored mode needs more room than it has now.
        const int width = std::max(DisplayWidth(display, screen), int(snapshot.screenWidth));
        const int height = std::max(DisplayHeight(display, screen), int(snapshot.screenHeight));
        if (width != DisplayWidth(display, screen) || height != DisplayHeight(display, screen))
            XRRSetScreenSize(
                display, root, width, height, snapshot.screenMmWidth, snapshot.screenMmHeight);
        std::array<RROutput, 16> outputs {};
        for (std::uint32_t i = 0; i < snapshot.outputCount; ++i)
            outputs[i] = static_cast<RROutput>(snapshot.outputs[i]);
        const Status status = XRRSetCrtcConfig(display, resources.get(),
            static_cast<RRCrtc>(snapshot.crtc), CurrentTime, snapshot.x, snapshot.y,
            static_cast<RRMode>(snapshot.mode), static_cast<Rotation>(snapshot.rotation),
            outputs.data(), static_cast<int>(snapshot.outputCount));
        if (snapshot.screenWidth > 0
            && (snapshot.screenWidth != width || snapshot.screenHeight != height))
            XRRSetScreenSize(display, root, snapshot.screenWidth, snapshot.screenHeight,
                snapshot.screenMmWidth, snapshot.screenMmHeight);
        return !trap.failed() && status == RRSetConfigSuccess;
    }

    // Runs in the watchdog after the program has gone.
    void restoreFromWatchdog(const char *displayName, std::span<const std::uint8_t> bytes)
    {
        if (bytes.size() != sizeof(CrtcSnapshot))
            return;
        CrtcSnapshot snapshot;
        std::memcpy(&snapshot, bytes.data(), sizeof snapshot);
        Display *display = XOpenDisplay(displayName);
        if (display == nullptr)
            return;
        applySnapshot(display, snapshot);
        XCloseDisplay(display);
    }

    class XRandRDisplayModes final : public DisplayModes
    {
    public:
        XRandRDisplayModes(Display *display, std::unique_ptr<DisplayModeWatchdog> watchdog)
            : m_display(display)
            , m_watchdog(std::move(watchdog))
        {
        }

        ~XRandRDisplayModes() override
        {
            restore();
            m_watchdog.reset();
            XCloseDisplay(m_display);
        }

        std::vector<DisplayMode> modes() override
        {
            std::vector<DisplayMode> result;
            ResourcesPtr resources(XRRGetScreenResourcesCurrent(m_display, root()));
            if (!resources)
                return result;
            OutputPtr output(outputInfo(resources.get()));
            if (!output)
                return result;
            for (int i = 0; i < output->nmode; ++i) {
                const XRRModeInfo *info = findMode(resources.get(), output->modes[i]);
                if (info == nullptr)
                    continue;
                const DisplayMode mode { int(info->width), int(info->height), depth() };
                // The same size at other refresh rates is the same mode for us.
                if (std::find(result.begin(), result.end(), mode) == result.end())
                    result.push_back(mode);
            }
            return result;
        }

        DisplayMode current() override
        {
            ResourcesPtr resources(XRRGetScreenResourcesCurrent(m_display, root()));
            if (resources) {
                OutputPtr output(outputInfo(resources.get()));
                if (output && output->crtc != 0) {
                    CrtcPtr crtc(XRRGetCrtcInfo(m_display, resources.get(), output->crtc));
                    if (crtc && crtc->mode != 0)
                        return { int(crtc->width), int(crtc->height), depth() };
                }
            }
            const int screen = DefaultScreen(m_display);
            return { DisplayWidth(m_display, screen), DisplayHeight(m_display, screen), depth() };
        }

        bool switchTemporarily(const DisplayMode &wanted) override
        {
            ResourcesPtr resources(XRRGetScreenResourcesCurrent(m_display, root()));
            if (!resources)
                return false;
            OutputPtr output(outputInfo(resources.get()));
            if (!output || output->crtc == 0)
                return false;
            CrtcPtr crtc(XRRGetCrtcInfo(m_display, resources.get(), output->crtc));
            if (!crtc || crtc->mode == 0)
                return false;
            // X cannot change the colour depth; the size is what we can change.
            if (int(crtc->width) == wanted.width && int(crtc->height) == wanted.height)
                return false;
            const RRMode target = bestModeOfSize(resources.get(), *output, wanted);
            if (target == 0)
                return false;

            const CrtcSnapshot snapshot = snapshotOf(output->crtc, *crtc);
            if (!m_watchdog
                || !m_watchdog->arm(
                    std::span(reinterpret_cast<const std::uint8_t *>(&snapshot), sizeof snapshot)))
                qCWarning(
                    lcDisplay, "no watchdog: the display mode is restored on a normal end only");

            ErrorTrap trap(m_display);
            const int width = std::max(snapshot.screenWidth, wanted.width);
            const int height = std::max(snapshot.screenHeight, wanted.height);
            if (width != snapshot.screenWidth || height != snapshot.screenHeight)
                XRRSetScreenSize(m_display, root(), width, height, snapshot.screenMmWidth,
                    snapshot.screenMmHeight);
            const Status status
                = XRRSetCrtcConfig(m_display, resources.get(), output->crtc, CurrentTime, crtc->x,
                    crtc->y, target, crtc->rotation, crtc->outputs, crtc->noutput);
            const bool ok = !trap.failed() && status == RRSetConfigSuccess;
            // Even a refused change may have grown the screen: always restore.
            m_snapshot = snapshot;
            m_switched = true;
            if (!ok)
                restore();
            return ok;
        }

        void restore() override
        {
            if (!m_switched)
                return;
            m_switched = false;
            if (!applySnapshot(m_display, m_snapshot))
                qCWarning(lcDisplay, "the display mode could not be restored");
            if (m_watchdog)
                m_watchdog->disarm();
        }

    private:
        Window root() const { return DefaultRootWindow(m_display); }

        // The output's mode of the wanted size with the highest refresh rate, or 0.
        static RRMode bestModeOfSize(const XRRScreenResources *resources,
            const XRROutputInfo &output, const DisplayMode &wanted)
        {
            RRMode best = 0;
            double bestRate = -1.0;
            for (int i = 0; i < output.nmode; ++i) {
                const XRRModeInfo *info = findMode(resources, output.modes[i]);
                if (info != nullptr && int(info->width) == wanted.width
                    && int(info->height) == wanted.height && refreshRate(*info) > bestRate) {
                    best = info->id;
                    bestRate = refreshRate(*info);
                }
            }
            return best;
        }

        // What restore() (or the watchdog, after a crash) needs to put the CRTC
        // and the screen size back as they are now.
        CrtcSnapshot snapshotOf(RRCrtc id, const XRRCrtcInfo &crtc) const
        {
            const int screen = DefaultScreen(m_display);
            CrtcSnapshot snapshot;
            snapshot.crtc = id;
            snapshot.mode = crtc.mode;
            snapshot.x = crtc.x;
            snapshot.y = crtc.y;
            snapshot.rotation = crtc.rotation;
            snapshot.outputCount = static_cast<std::uint32_t>(
                std::min<int>(crtc.noutput, int(snapshot.outputs.size())));
            for (std::uint32_t i = 0; i < snapshot.outputCount; ++i)
                snapshot.outputs[i] = crtc.outputs[i];
            snapshot.screenWidth = DisplayWidth(m_display, screen);
            snapshot.screenHeight = DisplayHeight(m_display, screen);
            snapshot.screenMmWidth = DisplayWidthMM(m_display, screen);
            snapshot.screenMmHeight = DisplayHeightMM(m_display, screen);
            return snapshot;
        }
        int depth() const { return DefaultDepth(m_display, DefaultScreen(m_display)); }

        // The primary output, or the first connected one that shows something.
        XRROutputInfo *outputInfo(XRRScreenResources *resources)
        {
            const RROutput primary = XRRGetOutputPrimary(m_display, root());
            if (primary != 0) {
                XRROutputInfo *info = XRRGetOutputInfo(m_display, resources, primary);
                if (info != nullptr && info->crtc != 0)
                    return info;
                if (info != nullptr)
                    XRRFreeOutputInfo(info);
            }
            for (int i = 0; i < resources->noutput; ++i) {
                XRROutputInfo *info = XRRGetOutputInfo(m_display, resources, resources->outputs[i]);
                if (info != nullptr && info->connection == RR_Connected && info->crtc != 0)
                    return info;
                if (info != nullptr)
                    XRRFreeOutputInfo(info);
            }
            return nullptr;
        }

        Display *m_display;
        std::unique_ptr<DisplayModeWatchdog> m_watchdog;
        CrtcSnapshot m_snapshot;
        bool m_switched = false;
    };

} // namespace

std::unique_ptr<DisplayModes> createSystemDisplayModes()
{
    const char *name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0' || isWaylandSession())
        return createFixedDisplayModes();
    // The watchdog is forked first, while this process has one thread and no
    // display connection of its own to share with it.
    static std::string displayName;
    displayName = name;
    auto watchdog
        = std::make_unique<DisplayModeWatchdog>([](std::span<const std::uint8_t> snapshot) {
              restoreFromWatchdog(displayName.c_str(), snapshot);
          });
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return createFixedDisplayModes();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)
        || !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        XCloseDisplay(display);
        return createFixedDisplayModes();
    }
    return std::make_unique<XRandRDisplayModes>(display, std::move(watchdog));
}

} // namespace dorvel::display

#else

namespace dorvel::display {

std::unique_ptr<DisplayModes> createSystemDisplayModes()
{
    return createFixedDisplayModes();
}

} // namespace dorvel::display

#endif
