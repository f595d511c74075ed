#pragma once

class QImage;
class QWidget;
class QWindow;

namespace dorvel::stage {

/**
 * A widget that shows a native surface of its own (an OpenGL window in a
 * window container). Such a surface lies above everything the stage paints,
 * so while a window on the stage covers it the stage hides it and shows its
 * still picture in its place; and input the system sends to the surface counts
 * as input to the container. The stage finds these widgets among its windows'
 * children.
 */
class NativeSurface
{
public:
    /// The window container the surface is shown in, a child of this widget.
    virtual QWidget *surfaceContainer() const = 0;
    /// The surface itself.
    virtual QWindow *surfaceWindow() const = 0;
    /// What the surface shows now, in device pixels (its device-pixel ratio set).
    virtual QImage stillPicture() = 0;

protected:
    ~NativeSurface() = default;
};

} // namespace dorvel::stage
