#include "GLFullScreenViewer.h"

#include "display/ServerFill.h"
#include "stage/Stage.h"

#include <QApplication>
#include <QBackingStore>
#include <QEvent>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <utility>

namespace dorvel::app {

namespace {

    QSurfaceFormat backdropFormat()
    {
        QSurfaceFormat format;
        format.setRedBufferSize(5);
        format.setGreenBufferSize(6);
        format.setBlueBufferSize(5);
        format.setSwapInterval(0); // vertical sync off
        return format;
    }

    // Calls `then` once, after the first frame drawn in the given window (a
    // zero timer runs after the paint has reached the screen): the first paint
    // of the window or of any widget in it, such as the start screen. Without a
    // window, after the first frame of any widget's window.
    class FirstFrameWatch final : public QObject
    {
    public:
        FirstFrameWatch(QWidget *window, std::function<void()> then)
            : m_window(window)
            , m_then(std::move(then))
        {
            qApp->installEventFilter(this);
        }
        ~FirstFrameWatch() override { qApp->removeEventFilter(this); }

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() != QEvent::Paint || !m_then)
                return false;
            const auto *widget = qobject_cast<QWidget *>(watched);
            if (widget != nullptr && (m_window == nullptr || widget->window() == m_window)) {
                qApp->removeEventFilter(this);
                QTimer::singleShot(0, this, std::exchange(m_then, {}));
            }
            return false;
        }

    private:
        QWidget *m_window;
        std::function<void()> m_then;
    };

    // The backdrop: black wherever no window of the program covers the screen.
    // A plain window, so showing it touches nothing of GL; its OpenGL context
    // is made after the first frame, as on the stage. On X11 the server fills
    // it, so it needs no full-screen buffer and no drawing before the first
    // frame; elsewhere it paints itself.
    class Backdrop final : public QWindow
    {
    public:
        Backdrop()
        {
            // It lies behind everything and never takes the focus or a click, so
            // it cannot come up over the start screen.
            setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                | Qt::WindowTransparentForInput | Qt::WindowStaysOnBottomHint);
            setTitle(QStringLiteral("Halvenor Dorvel"));
            if (!display::fillBlackOnServer(*this))
                m_store = std::make_unique<QBackingStore>(this);
        }

    protected:
        void exposeEvent(QExposeEvent *) override
        {
            if (!m_store || !isExposed())
                return;
            const QRect all(QPoint(0, 0), size());
            m_store->resize(size());
            m_store->beginPaint(all);
            {
                QPainter painter(m_store->paintDevice());
                painter.fillRect(all, Qt::black);
            }
            m_store->endPaint();
            m_store->flush(all);
        }

    private:
        std::unique_ptr<QBackingStore> m_store; // only where the server cannot fill
    };

} // namespace

GLFullScreenViewer::GLFullScreenViewer(display::DisplayModes &displayModes)
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
    const std::vector<display::DisplayMode> modes = m_displayModes.modes();
    const std::optional<display::DisplayMode> choice = display::chooseDisplayMode(modes, kWanted);
    if (!choice)
        throw std::runtime_error("Unsupported video mode");

    bool switched = false;
    if (m_displayModes.current() != kWanted) {
        // A refused change is no error: the windows then go on the stage.
        switched = m_displayModes.switchTemporarily(*choice);
        m_modeChanged = true;
    }
    // The windows can lie at 0,0 of the display only where it shows 800×600:
    // after a change to such a mode, or when the screen is that size already.
    // (After a change the toolkit learns the new size only later.)
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->size() : display::kStageSize;
    const bool fits = switched ? choice->width == kWanted.width && choice->height == kWanted.height
                               : screenSize == display::kStageSize;
    m_hosted = stage::planned() || !fits;
    // The frame awaited: the host's, or on the system's windows any first one.
    QWidget *framed = nullptr;
    if (m_hosted) {
        framed = stage::open()->window();
    } else {
        m_backdrop = std::make_unique<Backdrop>();
        if (screen != nullptr)
            m_backdrop->setGeometry(screen->geometry());
        m_backdrop->show();
    }
    // Loading the GL driver (llvmpipe: about 50 MB of libraries) would hold up
    // the program's first frame; the context comes right after it.
    m_firstFrameWatch = std::make_unique<FirstFrameWatch>(framed, [this] { createHostContext(); });
    m_active = true;
}

void GLFullScreenViewer::createHostContext()
{
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(backdropFormat());
    if (!context->create())
        return;
    auto surface = std::make_unique<QOffscreenSurface>();
    surface->setFormat(context->format());
    surface->create();
    m_hostContext = std::move(context);
    m_hostSurface = std::move(surface);
}

void GLFullScreenViewer::deactivate()
{
    m_firstFrameWatch.reset();
    m_hostContext.reset();
    m_hostSurface.reset();
    if (m_hosted) {
        stage::close();
        m_hosted = false;
    }
    m_backdrop.reset();
    if (m_modeChanged) {
        m_displayModes.restore();
        m_modeChanged = false;
    }
    m_active = false;
}

} // namespace dorvel::app
