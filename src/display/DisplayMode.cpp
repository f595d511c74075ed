#include "DisplayMode.h"

#include <QGuiApplication>
#include <QScreen>

#include <climits>

namespace dorvel::display {

std::optional<DisplayMode> chooseDisplayMode(std::span<const DisplayMode> modes, DisplayMode wanted)
{
    std::optional<DisplayMode> choice;
    // The excesses of the current choice; none yet, so anything qualifying wins.
    int bestWidth = INT_MAX;
    int bestHeight = INT_MAX;
    int bestDepth = INT_MAX;
    for (const DisplayMode &mode : modes) {
        if (mode.width < wanted.width || mode.height < wanted.height || mode.depth < wanted.depth)
            continue;
        const int width = mode.width - wanted.width;
        const int height = mode.height - wanted.height;
        const int depth = mode.depth - wanted.depth;
        if (width <= bestWidth && height <= bestHeight && depth <= bestDepth) {
            choice = mode;
            bestWidth = width;
            bestHeight = height;
            bestDepth = depth;
        }
    }
    return choice;
}

namespace {

    // Where the display cannot be changed (no X server, no XRandR): the screen as it
    // is is the one mode on offer.
    class FixedDisplayModes final : public DisplayModes
    {
    public:
        std::vector<DisplayMode> modes() override { return { current() }; }
        DisplayMode current() override
        {
            const QScreen *screen = QGuiApplication::primaryScreen();
            if (screen == nullptr)
                return {};
            // In device pixels, as a display lists its modes.
            const QSize pixels = screen->size() * screen->devicePixelRatio();
            return { pixels.width(), pixels.height(), screen->depth() };
        }
        bool switchTemporarily(const DisplayMode &) override { return false; }
        void restore() override { }
    };

} // namespace

bool isWaylandSession()
{
    const QByteArray session = qgetenv("XDG_SESSION_TYPE");
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || session == "wayland";
}

bool windowsPlaceable()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && !isWaylandSession();
}

std::unique_ptr<DisplayModes> createFixedDisplayModes()
{
    return std::make_unique<FixedDisplayModes>();
}

} // namespace dorvel::display
