#include "ServerFill.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef DORVEL_HAVE_XRANDR
// After the Qt headers: Xlib's macros (None, Bool, ...) would clash with them.
#include <X11/Xlib.h>
#endif

namespace dorvel::display {

bool fillBlackOnServer(QWindow &window)
{
#ifdef DORVEL_HAVE_XRANDR
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (display == nullptr)
        return false;
    // The toolkit makes its windows without a background, leaving every pixel
    // to the program; a background pixel makes the server paint them itself.
    const auto id = static_cast<::Window>(window.winId());
    XSetWindowBackground(display, id, BlackPixel(display, DefaultScreen(display)));
    XClearWindow(display, id);
    XFlush(display);
    return true;
#else
    (void)window;
    return false;
#endif
}

} // namespace dorvel::display
