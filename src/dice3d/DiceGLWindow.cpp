// Threads. Everything here runs on the user-interface thread except the body of
// prepareAhead's worker, which makes a context, makes it current on an
// off-screen surface (made beforehand on the user-interface thread, as Qt
// requires), uploads the textures and draws one frame with a DiceRenderer of
// its own, and hands the context back to the user-interface thread with
// moveToThread before it ends. The user-interface thread touches the prepared
// context, renderer and surface only after joining the worker.
#include "DiceGLWindow.h"

#include "DiceScene.h"
#include "SubBufferPresent.h"
#include "platform/Memory.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QThread>

#include <system_error>
#include <thread>

namespace dorvel::dice3d {

namespace {

    // The size the game shows the view at; the prepared frame's size only
    // decides the slab cache's, which the first real frame makes again if the
    // view turns out larger (high-DPI screens).
    constexpr int kPreparedWidth = 150;
    constexpr int kPreparedHeight = 425;

    struct Prepared
    {
        std::unique_ptr<QOffscreenSurface> surface;
        std::unique_ptr<QOpenGLContext> context;
        std::unique_ptr<DiceRenderer> renderer;
        std::thread worker;

        // A real join: the thread has ended when it returns (a QThread's wait
        // returns while the thread is still ending, which the leak checker at
        // exit trips over).
        void join()
        {
            if (worker.joinable())
                worker.join();
        }
        ~Prepared() { join(); }
    };

    // Never destroyed at exit: by then Qt's platform is gone, and dropPrepared
    // (when the application ends) has released anything left.
    std::unique_ptr<Prepared> &prepared()
    {
        static auto *instance = new std::unique_ptr<Prepared>();
        return *instance;
    }

    bool &partialFramesAllowed()
    {
        static bool allowed = true;
        return allowed;
    }

    DiceGLWindow::PreparationFault &preparationFault()
    {
        static DiceGLWindow::PreparationFault fault = DiceGLWindow::PreparationFault::None;
        return fault;
    }

    // The worker's part: a context current on the prepared surface, the textures
    // and one frame. Whatever fails leaves work->context empty, and the window then
    // makes its own context on the user-interface thread.
    void prepareOnWorker(Prepared *work, QThread *owner, const QSurfaceFormat &format,
        DiceGLWindow::PreparationFault fault)
    {
        if (fault == DiceGLWindow::PreparationFault::WorkerFails)
            return;
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        if (!context->create() || !context->makeCurrent(work->surface.get()))
            return;
        auto renderer = std::make_unique<DiceRenderer>();
        {
            // The slab alone: the dice are drawn in the same state, so this
            // compiles everything a frame of the game needs.
            const DiceScene scene;
            renderer->render(scene, kPreparedWidth, kPreparedHeight);
        }
        context->functions()->glFinish();
        context->doneCurrent();
        if (fault == DiceGLWindow::PreparationFault::ContextUnusable)
            context = std::make_unique<QOpenGLContext>(); // never created, so never current
        // The context and its share group live on with the user-interface thread;
        // left here, the group's deferred deletion would never run. (A context
        // that was never created has no group.)
        if (QOpenGLContextGroup *group = context->shareGroup())
            group->moveToThread(owner);
        context->moveToThread(owner);
        work->context = std::move(context);
        work->renderer = std::move(renderer);
    }

} // namespace

DiceGLWindow::DiceGLWindow(const DiceScene &scene, QObject *keyTarget)
    : m_scene(scene)
    , m_keyTarget(keyTarget)
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(requestedFormat());
    setFlag(Qt::WindowDoesNotAcceptFocus);
    // Compiling drawing state for new poses of the dice leaves the driver's
    // temporaries freed but held by the allocator; once the dice are at rest,
    // they go back to the system (megabytes, about a millisecond's work).
    m_stillTimer.setSingleShot(true);
    m_stillTimer.setInterval(1000);
    connect(&m_stillTimer, &QTimer::timeout, this, [] { platform::returnFreedMemory(); });
}

DiceGLWindow::~DiceGLWindow()
{
    cleanup();
}

QSurfaceFormat DiceGLWindow::requestedFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // 16-bit colour where the display offers it with a depth buffer. Wayland's
    // EGL offers 16-bit colour only without one, and the dice would then lie
    // under the slab: there the display's own colour depth is taken.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        format.setRedBufferSize(5);
        format.setGreenBufferSize(6);
        format.setBlueBufferSize(5);
    }
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(16);
    format.setSwapInterval(0);
    return format;
}

void DiceGLWindow::prepareAhead()
{
    if (prepared() || !QOpenGLContext::supportsThreadedOpenGL())
        return;
    auto next = std::make_unique<Prepared>();
    next->surface = std::make_unique<QOffscreenSurface>();
    next->surface->setFormat(requestedFormat());
    next->surface->create();
    if (!next->surface->isValid())
        return;
    try {
        next->worker = std::thread(prepareOnWorker, next.get(), QThread::currentThread(),
            requestedFormat(), preparationFault());
    } catch (const std::system_error &) {
        return;
    }
    prepared() = std::move(next);
    // A worker still compiling when the application goes would crash inside
    // the driver: the application's end waits for it and releases what it made.
    static bool dropAtEnd = false;
    if (!dropAtEnd) {
        qAddPostRoutine(&DiceGLWindow::dropPrepared);
        dropAtEnd = true;
    }
}

void DiceGLWindow::setPartialFramesAllowed(bool allowed)
{
    partialFramesAllowed() = allowed;
}

void DiceGLWindow::setPreparationFault(PreparationFault fault)
{
    preparationFault() = fault;
}

void DiceGLWindow::dropPrepared()
{
    std::unique_ptr<Prepared> left = std::move(prepared());
    if (!left)
        return;
    left->join();
    if (left->context && left->renderer && left->context->makeCurrent(left->surface.get())) {
        left->renderer->cleanup();
        left->context->doneCurrent();
    }
}

bool DiceGLWindow::hasPrepared()
{
    return prepared() != nullptr;
}

// The context: the prepared one if there is one (waiting for its worker if
// need be), else a new one. A prepared context that cannot be made current on
// this window (its worker failed part-way, or the driver refuses it here) is
// dropped for a new one made on this thread, once: the dice are drawn either way.
bool DiceGLWindow::makeContextCurrent()
{
    if (!m_context && !takePrepared() && !createOwnContext())
        return false;
    if (m_context->makeCurrent(this))
        return true;
    if (!m_ownContext && createOwnContext())
        return m_context->makeCurrent(this);
    return false;
}

bool DiceGLWindow::takePrepared()
{
    const std::unique_ptr<Prepared> taken = std::move(prepared());
    if (!taken)
        return false;
    taken->join();
    if (!taken->context || !taken->renderer)
        return false;
    m_context = std::move(taken->context);
    m_renderer = std::move(taken->renderer);
    m_partial = Partial::Undecided;
    m_backDice.reset();
    return true;
}

// A context of the window's own. The renderer made with an earlier context goes
// without cleanup(): its textures went with that context.
bool DiceGLWindow::createOwnContext()
{
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(requestedFormat());
    if (!context->create())
        return false;
    m_context = std::move(context);
    m_renderer = std::make_unique<DiceRenderer>();
    m_ownContext = true;
    m_partial = Partial::Undecided;
    m_backDice.reset();
    return true;
}

void DiceGLWindow::drawFrame()
{
    const qreal ratio = devicePixelRatio();
    m_renderer->render(m_scene, qRound(width() * ratio), qRound(height() * ratio),
        DiceRenderer::Mode::Textured, ratio);
}

void DiceGLWindow::renderNow()
{
    // An unexposed window shows nothing; becoming exposed draws a frame.
    if (!isExposed() || !makeContextCurrent())
        return;
    present();
    ++m_frames;
    m_stillTimer.start();
    Q_EMIT frameSwapped();
}

// Draws the frame and shows it. Where parts of the back buffer can be shown
// without a swap, the back buffer always holds the frame on screen, so a new
// frame is drawn and shown only where a die is now or was in that frame: the
// slab elsewhere is already right. The picture is the same as a whole frame's.
void DiceGLWindow::present()
{
    if (m_partial == Partial::Undecided) {
        m_partial = partialFramesAllowed() && subbuffer::available(m_context.get(), this)
            ? Partial::Yes
            : Partial::No;
    }
    if (m_partial == Partial::No) {
        drawFrame();
        m_context->swapBuffers(this);
        return;
    }
    const qreal ratio = devicePixelRatio();
    const QSize size(qRound(width() * ratio), qRound(height() * ratio));
    const QRect dice = DiceRenderer::diceArea(m_scene, size.width(), size.height(), ratio);
    QRect area = m_backDice && m_backSize == size ? m_backDice->united(dice) : QRect();
    if (!area.isNull()
        && m_renderer->renderArea(m_scene, size.width(), size.height(), ratio, area)) {
        ++m_partialFrames;
    } else {
        drawFrame();
        area = QRect(QPoint(0, 0), size);
    }
    subbuffer::show(this, area);
    m_backDice = dice;
    m_backSize = size;
}

QImage DiceGLWindow::grabFramebuffer()
{
    if (!isExposed() || !m_context || !makeContextCurrent())
        return {};
    drawFrame();
    // The back buffer now holds a frame that is not on screen: the next one is
    // drawn and shown whole.
    m_backDice.reset();
    const qreal ratio = devicePixelRatio();
    const int w = qRound(width() * ratio);
    const int h = qRound(height() * ratio);
    QImage image(w, h, QImage::Format_RGBA8888);
    QOpenGLFunctions *gl = m_context->functions();
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    // GL's rows run bottom-up.
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
}

bool DiceGLWindow::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        renderNow();
        return true;
    }
    return QWindow::event(event);
}

void DiceGLWindow::exposeEvent(QExposeEvent *)
{
    // What the window showed may be gone: the next frame is shown whole.
    m_backDice.reset();
    if (isExposed())
        renderNow();
}

// The textures and the slab cache belong to the context: they go while it is
// current, on a surface of its own, as the window may have no native handle by now.
void DiceGLWindow::cleanup()
{
    if (!m_context || !m_renderer)
        return;
    QOffscreenSurface surface;
    surface.setFormat(m_context->format());
    surface.create();
    if (m_context->makeCurrent(&surface)) {
        m_renderer->cleanup();
        m_context->doneCurrent();
    }
}

void DiceGLWindow::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT pressed(event->button(), event->modifiers(), event->position().toPoint());
    event->accept();
}

void DiceGLWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_keyTarget)
        QCoreApplication::sendEvent(m_keyTarget, event);
}

void DiceGLWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (m_keyTarget)
        QCoreApplication::sendEvent(m_keyTarget, event);
}

} // namespace dorvel::dice3d
