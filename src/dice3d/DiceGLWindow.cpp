#include "DiceGLWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>

namespace dorvel::dice3d {

DiceGLWindow::DiceGLWindow(const DiceScene &scene, QObject *keyTarget)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    , m_scene(scene)
    , m_keyTarget(keyTarget)
{
    setFormat(requestedFormat());
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

DiceGLWindow::~DiceGLWindow()
{
    // The base class destroys the context after this object is gone; free the
    // textures while this renderer still exists.
    if (context()) {
        disconnect(context(), nullptr, this, nullptr);
        cleanup();
    }
}

QSurfaceFormat DiceGLWindow::requestedFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(5);
    format.setGreenBufferSize(6);
    format.setBlueBufferSize(5);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(16);
    format.setSwapInterval(0);
    return format;
}

void DiceGLWindow::initializeGL()
{
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &DiceGLWindow::cleanup);
    m_renderer.initialize();
}

void DiceGLWindow::paintGL()
{
    const qreal ratio = devicePixelRatio();
    m_renderer.render(
        m_scene, static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    ++m_frames;
}

// What QOpenGLWindow does for a frame when it paints without a partial-update
// buffer: the context current on this window's default framebuffer, paintGL,
// the swap, frameSwapped.
void DiceGLWindow::renderNow()
{
    if (!isExposed() || !context()) {
        update();
        return;
    }
    makeCurrent();
    paintGL();
    context()->swapBuffers(this);
    Q_EMIT frameSwapped();
}

void DiceGLWindow::cleanup()
{
    if (!m_renderer.isInitialized())
        return;
    makeCurrent();
    m_renderer.cleanup();
    doneCurrent();
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
