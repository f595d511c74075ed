#pragma once

#include "platform/DisplayMode.h"

#include <memory>

class QOpenGLWindow;

namespace dorvel::app {

/**
 * The full-screen viewer of the start screen: it changes the display to the
 * program's 800×600 for the run and puts a borderless, black backdrop window
 * with an OpenGL context over the whole screen, behind every window of the
 * program. It draws no scene. Deactivating it (at the latest when it is
 * destroyed) releases the backdrop and restores the user's display mode.
 */
class GLFullScreenViewer
{
public:
    static constexpr platform::DisplayMode kWanted { 800, 600, 16 };

    explicit GLFullScreenViewer(platform::DisplayModes &displayModes);
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
    QOpenGLWindow *backdrop() const { return m_backdrop.get(); }

private:
    platform::DisplayModes &m_displayModes;
    std::unique_ptr<QOpenGLWindow> m_backdrop;
    bool m_active = false;
    bool m_modeChanged = false;
};

} // namespace dorvel::app
