#pragma once

class QWindow;

namespace dorvel::display {

/// Has the X server fill the window with black wherever it shows, so that the
/// program draws nothing into it and keeps no buffer of its size for that.
/// Creates the native window if needed. False where the window system cannot
/// do it (not X11); the caller then paints the window itself.
bool fillBlackOnServer(QWindow &window);

} // namespace dorvel::display
