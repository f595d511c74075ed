#include "StageHost.h"

#include "StageFrame.h"
#include "display/StagePlan.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace dorvel::stage {

namespace {

    // The stage inside the host: 800×600 of black behind the windows.
    class StageArea final : public QWidget
    {
    public:
        using QWidget::QWidget;

    protected:
        void paintEvent(QPaintEvent *event) override
        {
            QPainter(this).fillRect(event->rect(), Qt::black);
        }
    };

} // namespace

StageHost::StageHost()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("stageHost"));
    setWindowTitle(QGuiApplication::applicationDisplayName());
    // Black is painted, not set in the palette: a palette passes down to every
    // window on the stage, and a message box would take a black face with its
    // black text on it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_stage = new StageArea(this);
    m_stage->setObjectName(QStringLiteral("stage"));
    m_stage->setFixedSize(display::kStageSize);
    m_routing = std::make_unique<ModalRouting>(this, m_stage);
}

StageHost::~StageHost()
{
    m_routing.reset();
    releaseAll();
}

void StageHost::showOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        setGeometry(screen->geometry());
        // A mode change later resizes the screen; the host follows it.
        connect(screen, &QScreen::geometryChanged, this,
            [this](const QRect &geometry) { setGeometry(geometry); });
    }
    showFullScreen();
}

void StageHost::adopt(QWidget *window, Placement placement)
{
    if (window == nullptr || window == this || window == m_stage)
        return;
    const QPoint designed = window->pos();
    const bool wasVisible = window->isVisible();
    // What a window manager would frame with a title, the stage frames.
    const bool titled = !window->windowFlags().testFlag(Qt::FramelessWindowHint);
    // A sub-window is a child that keeps its own focus chain: Tab stays within
    // it as it would within a window of its own.
    window->setParent(m_stage, Qt::SubWindow);
    window->setAttribute(Qt::WA_Moved);
    // Each game brings new windows; forget those already gone.
    m_windows.erase(std::remove_if(m_windows.begin(), m_windows.end(),
                        [](const Hosted &hosted) { return !hosted.window; }),
        m_windows.end());
    QPointer<StageFrame> frame = titled ? new StageFrame(window, m_stage) : nullptr;
    m_windows.push_back({ window, frame, placement });
    window->installEventFilter(this);
    if (frame)
        frame->installEventFilter(this);
    place(m_windows.back(), designed);
    if (wasVisible)
        window->show();
}

void StageHost::releaseAll()
{
    for (Hosted &hosted : m_windows) {
        if (!hosted.window)
            continue;
        hosted.window->removeEventFilter(this);
        m_stills.thaw(hosted.window);
        hosted.window->hide();
        if (hosted.frame) {
            hosted.frame->release();
            hosted.window->setParent(nullptr, Qt::Window);
            delete hosted.frame.data();
        } else {
            hosted.window->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        }
    }
    m_windows.clear();
    if (m_routing)
        m_routing->clear();
}

void StageHost::paintEvent(QPaintEvent *event)
{
    QPainter(this).fillRect(event->rect(), Qt::black);
}

void StageHost::resizeEvent(QResizeEvent *)
{
    m_stage->move((width() - m_stage->width()) / 2, (height() - m_stage->height()) / 2);
}

// The system's close command on the host goes to the window in front, as it
// would have gone to that window were it a window of its own.
void StageHost::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (QWidget *front = frontWindow())
        front->close();
}

bool StageHost::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *window = qobject_cast<QWidget *>(watched); window != nullptr && find(window)) {
        if (event->type() == QEvent::Show)
            shown(window);
        else if (event->type() == QEvent::Hide)
            hidden(window);
    }
    // A centred window (or its frame, which follows the window's size) stays
    // centred when its size changes.
    if (event->type() == QEvent::Resize) {
        for (const Hosted &hosted : m_windows) {
            if (hosted.placement == Placement::Centred && watched == outer(hosted))
                place(hosted, {});
        }
    }
    return false;
}

const StageHost::Hosted *StageHost::find(const QWidget *window) const
{
    const auto it = std::find_if(m_windows.begin(), m_windows.end(),
        [window](const Hosted &hosted) { return hosted.window == window; });
    return it != m_windows.end() ? &*it : nullptr;
}

// What the window is on the stage: its frame, or itself.
QWidget *StageHost::outer(const Hosted &hosted)
{
    return hosted.frame ? hosted.frame.data() : hosted.window.data();
}

QWidget *StageHost::outer(QWidget *window) const
{
    const Hosted *hosted = find(window);
    return hosted != nullptr ? outer(*hosted) : window;
}

// A child of the stage as the hosted window it is or frames.
QWidget *StageHost::hostedAs(QWidget *child) const
{
    if (auto *frame = qobject_cast<StageFrame *>(child))
        return frame->framed();
    return find(child) != nullptr ? child : nullptr;
}

void StageHost::place(const Hosted &hosted, QPoint designed)
{
    QWidget *widget = outer(hosted);
    if (hosted.placement == Placement::Centred) {
        widget->move(
            (m_stage->width() - widget->width()) / 2, (m_stage->height() - widget->height()) / 2);
    } else {
        widget->move(designed);
    }
}

// The modal window on top, else the hosted window shown last.
QWidget *StageHost::frontWindow() const
{
    if (QWidget *modal = m_routing->top())
        return modal;
    const QObjectList &children = m_stage->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto *widget = qobject_cast<QWidget *>(*it);
        if (widget != nullptr && widget->isVisible()) {
            if (QWidget *window = hostedAs(widget))
                return window;
        }
    }
    return nullptr;
}

void StageHost::shown(QWidget *window)
{
    QWidget *above = outer(window);
    above->raise();
    if (window->testAttribute(Qt::WA_ShowModal) || window->isModal()) {
        m_routing->push(window, above);
        m_stills.freezeBeneath(
            m_stage, window, QRect(above->mapTo(m_stage, QPoint(0, 0)), above->size()));
    }
    focusInto(window);
}

void StageHost::hidden(QWidget *window)
{
    m_stills.thaw(window);
    m_routing->remove(window);
    if (QWidget *front = frontWindow(); front != nullptr && front != window)
        focusInto(front);
}

void StageHost::focusInto(QWidget *window)
{
    QWidget *focus = window->focusWidget();
    if (focus != nullptr && window->isAncestorOf(focus))
        focus->setFocus(Qt::ActiveWindowFocusReason);
    else
        window->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace dorvel::stage
