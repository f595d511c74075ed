#pragma once

#include "display/DisplayMode.h"
#include "display/StagePlan.h"
#include "stage/Stage.h"

#include <memory>

class QObject;
class QOffscreenSurface;
class QOpenGLContext;
class QWindow;

namespace dorvel::app {

/**
 * The full-screen viewer of the start screen: it changes the display to the
 * program's 800×600 for the run and puts a borderless, black backdrop window
 * over the whole screen, behind every window of the program, with an OpenGL
 * context made once the first window has shown its first frame (so the GL
 * driver does not hold up the start screen). It draws no scene. Deactivating
 * it (at the latest when it is destroyed) releases the backdrop and restores
 * the user's display mode.
 *
 * Where the display does not end up showing 800×600 (a Wayland session, a
 * larger screen without such a mode, a refused change), the backdrop is the
 * stage's full-screen host instead (platform/Stage.h), and the program's
 * windows go onto its stage. Its OpenGL context is then made once the host has
 * shown its first frame, so nothing of GL is touched before the program shows.
 */
class GLFullScreenViewer
{
public:
    static constexpr display::DisplayMode kWanted = display::kStageMode;

    explicit GLFullScreenViewer(display::DisplayModes &displayModes);
    ~GLFullScreenViewer();
    GLFullScreenViewer(const GLFullScreenViewer &) = delete;
    GLFullScreenViewer &operator=(const GLFullScreenViewer &) = delete;

    /// Chooses the mode, shows the backdrop and changes the mode if the screen
    /// differs from 800×600 at 16 bits. Throws std::runtime_error("Unsupported
    /// video mode") when no listed mode reaches that, before anything changes.
    void activate();
    void deactivate();

    bool active() const { return m_active; }
    bool modeChanged() const { return m_modeChanged; }
    /// True when the windows live on the stage's full-screen host.
    bool hosted() const { return m_hosted; }
    /// The backdrop window when the windows are windows of the system.
    QWindow *backdrop() const { return m_backdrop.get(); }
    /// The backdrop's drawing context (on the stage's host or the backdrop
    /// window), once the first frame is shown.
    QOpenGLContext *hostContext() const { return m_hostContext.get(); }

private:
    void createHostContext();

    display::DisplayModes &m_displayModes;
    std::unique_ptr<QWindow> m_backdrop;
    std::unique_ptr<QObject> m_firstFrameWatch;
    std::unique_ptr<QOffscreenSurface> m_hostSurface;
    std::unique_ptr<QOpenGLContext> m_hostContext;
    bool m_hosted = false;
    bool m_active = false;
    bool m_modeChanged = false;
};

} // namespace dorvel::app
