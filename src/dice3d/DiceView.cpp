#include "DiceView.h"

#include "DiceGLWindow.h"
#include "DiceRenderer.h"
#include "DiceScene.h"
#include "Picking.h"

#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QVBoxLayout>

namespace dorvel::dice3d {

DiceView::DiceView(DiceScene &scene, QWidget *parent)
    : QWidget(parent)
    , m_scene(scene)
{
    setObjectName(QStringLiteral("GLSceneViewer1"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);

    m_window = new DiceGLWindow(scene, this);
    m_container = QWidget::createWindowContainer(m_window, this);
    m_container->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_container);

    connect(&m_scene, &DiceScene::changed, this, &DiceView::frameWanted);
    connect(m_window, &DiceGLWindow::pressed, this,
        [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position) {
            Q_EMIT mouseDown(button, modifiers, position.x(), position.y());
        });
}

DiceView::~DiceView()
{
    releaseOffscreen();
}

// A change asks for one frame, drawn as soon as the handler that made the
// change has returned: a burst of changes within one handler (a roll tick's
// ten angles) shows in a single frame, and the frame is done long before the
// next tick instead of waiting for Qt's update-request delay first.
void DiceView::frameWanted()
{
    if (m_frameWanted)
        return;
    m_frameWanted = true;
    QMetaObject::invokeMethod(this, &DiceView::drawWantedFrame, Qt::QueuedConnection);
}

void DiceView::drawWantedFrame()
{
    m_frameWanted = false;
    m_window->renderNow();
}

void DiceView::mousePressEvent(QMouseEvent *event)
{
    // Reached when the press is sent to the view itself rather than to its
    // GL surface (synthetic events).
    const QPoint position = event->position().toPoint();
    Q_EMIT mouseDown(event->button(), event->modifiers(), position.x(), position.y());
    event->accept();
}

SceneObject *DiceView::pick(int x, int y)
{
    return picking::pick(m_scene, width(), height(), x, y);
}

QImage DiceView::renderToImage()
{
    return renderOffscreen(false);
}

QImage DiceView::renderObjectIds()
{
    return renderOffscreen(true);
}

QImage DiceView::stillPicture()
{
    return renderOffscreen(false, devicePixelRatio());
}

QWidget *DiceView::surfaceContainer() const
{
    return m_container;
}

QWindow *DiceView::surfaceWindow() const
{
    return m_window;
}

QImage DiceView::grabFramebuffer()
{
    return m_window->grabFramebuffer();
}

int DiceView::framesDrawn() const
{
    return m_window->framesDrawn();
}

QWindow *DiceView::glWindow() const
{
    return m_window;
}

QImage DiceView::renderOffscreen(bool objectIds, double pixelRatio)
{
    const int w = qRound(width() * pixelRatio);
    const int h = qRound(height() * pixelRatio);
    if (w <= 0 || h <= 0)
        return {};
    if (!m_offscreenContext) {
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(DiceGLWindow::requestedFormat());
        if (!context->create())
            return {};
        auto surface = std::make_unique<QOffscreenSurface>();
        surface->setFormat(context->format());
        surface->create();
        if (!surface->isValid())
            return {};
        m_offscreenContext = std::move(context);
        m_offscreenSurface = std::move(surface);
        m_offscreenRenderer = std::make_unique<DiceRenderer>();
    }
    if (!m_offscreenContext->makeCurrent(m_offscreenSurface.get()))
        return {};
    QImage image;
    {
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        QOpenGLFramebufferObject fbo(w, h, format);
        if (fbo.isValid() && fbo.bind()) {
            m_offscreenRenderer->render(m_scene, w, h,
                objectIds ? DiceRenderer::Mode::ObjectIds : DiceRenderer::Mode::Textured,
                pixelRatio);
            image = fbo.toImage().convertToFormat(QImage::Format_RGB32);
            image.setDevicePixelRatio(pixelRatio);
            fbo.release();
        }
    }
    m_offscreenContext->doneCurrent();
    return image;
}

void DiceView::releaseOffscreen()
{
    if (!m_offscreenContext)
        return;
    if (m_offscreenContext->makeCurrent(m_offscreenSurface.get())) {
        m_offscreenRenderer->cleanup();
        m_offscreenContext->doneCurrent();
    }
    m_offscreenRenderer.reset();
    m_offscreenContext.reset();
    m_offscreenSurface.reset();
}

} // namespace dorvel::dice3d
