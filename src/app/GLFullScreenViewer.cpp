#include "GLFullScreenViewer.h"

#include <QGuiApplication>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QScreen>

#include <stdexcept>

namespace dorvel::app {

namespace {

    // The backdrop: black wherever no window of the program covers the screen.
    class Backdrop final : public QOpenGLWindow
    {
    public:
        Backdrop()
        {
            QSurfaceFormat format;
            format.setRedBufferSize(5);
            format.setGreenBufferSize(6);
            format.setBlueBufferSize(5);
            format.setSwapInterval(0); // vertical sync off
            setFormat(format);
            // It lies behind everything and never takes the focus or a click, so
            // it cannot come up over the start screen.
            setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                | Qt::WindowTransparentForInput | Qt::WindowStaysOnBottomHint);
            setTitle(QStringLiteral("Halvenor Dorvel"));
        }

    protected:
        void paintGL() override
        {
            QOpenGLFunctions *gl = context()->functions();
            gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            gl->glClear(GL_COLOR_BUFFER_BIT);
        }
    };

} // namespace

GLFullScreenViewer::GLFullScreenViewer(platform::DisplayModes &displayModes)
    : m_displayModes(displayModes)
{
}

GLFullScreenViewer::~GLFullScreenViewer()
{
    deactivate();
}

void GLFullScreenViewer::activate()
{
    if (m_active)
        return;
    const std::vector<platform::DisplayMode> modes = m_displayModes.modes();
    const std::optional<platform::DisplayMode> choice = platform::chooseDisplayMode(modes, kWanted);
    if (!choice)
        throw std::runtime_error("Unsupported video mode");

    m_backdrop = std::make_unique<Backdrop>();
    if (m_displayModes.current() != kWanted) {
        // The result does not matter: a display that cannot change (a virtual
        // one, say) still shows the program, only with more room around it.
        m_displayModes.switchTemporarily(*choice);
        m_modeChanged = true;
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_backdrop->setGeometry(screen->geometry());
    m_backdrop->show();
    m_active = true;
}

void GLFullScreenViewer::deactivate()
{
    m_backdrop.reset();
    if (m_modeChanged) {
        m_displayModes.restore();
        m_modeChanged = false;
    }
    m_active = false;
}

} // namespace dorvel::app
