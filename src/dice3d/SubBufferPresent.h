#pragma once

#include <QRect>

#include <span>

class QOpenGLContext;
class QWindow;

namespace dorvel::dice3d {

/**
 * Shows chosen parts of a GL window's back buffer without swapping, so the
 * back buffer keeps the frame just drawn and the next frame needs drawing only
 * where something moved (GLX_MESA_copy_sub_buffer, whose copies leave the back
 * buffer as it was; after a swap its contents are undefined).
 *
 * Taken only where it pays and is safe: on X11 through GLX, with that
 * extension, and with a renderer that draws on the CPU (llvmpipe, softpipe),
 * where a frame costs what its pixels cost. With a graphics card a whole frame
 * costs the CPU little, and the window keeps swapping as before.
 */
namespace subbuffer {

    /// Whether parts of `window`'s back buffer can be shown with `context`,
    /// which must be current on `window`.
    bool available(QOpenGLContext *context, QWindow *window);

    /// Shows this area of the back buffer (GL window coordinates, device
    /// pixels, origin bottom left), after finishing what was drawn. Only where
    /// available() said so.
    void show(QWindow *window, const QRect &area);

} // namespace subbuffer

} // namespace dorvel::dice3d
