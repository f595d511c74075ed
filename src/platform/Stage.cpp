#include "Stage.h"

#include "StageFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace dorvel::platform {

namespace {

    bool isInputEvent(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

    bool isKeyEvent(QEvent::Type type)
    {
        return type == QEvent::KeyPress || type == QEvent::KeyRelease
            || type == QEvent::ShortcutOverride;
    }

    // A native surface (a window container) put out of sight while a modal
    // window covers it, and the still picture standing in for it.
    struct Frozen
    {
        QPointer<QWidget> container;
        QPointer<QLabel> still;
    };

    // A widget that paints itself black.
    class Backdrop : public QWidget
    {
    public:
        using QWidget::QWidget;

    protected:
        void paintEvent(QPaintEvent *event) override
        {
            QPainter(this).fillRect(event->rect(), Qt::black);
        }
    };

    class StageHost final : public Backdrop
    {
    public:
        StageHost()
            : Backdrop(nullptr, Qt::Window | Qt::FramelessWindowHint)
        {
            setObjectName(QStringLiteral("stageHost"));
            setWindowTitle(QGuiApplication::applicationDisplayName());
            // Black is painted, not set in the palette: a palette passes down
            // to every window on the stage, and a message box would take a
            // black face with its black text on it.
            setAttribute(Qt::WA_OpaquePaintEvent);
            m_stage = new Backdrop(this);
            m_stage->setObjectName(QStringLiteral("stage"));
            m_stage->setFixedSize(kStageSize);
            qApp->installEventFilter(this);
        }

        ~StageHost() override
        {
            qApp->removeEventFilter(this);
            releaseAll();
        }

        QWidget *stage() const { return m_stage; }

        void showOnScreen()
        {
            if (const QScreen *screen = QGuiApplication::primaryScreen()) {
                setGeometry(screen->geometry());
                // A mode change later resizes the screen; the host follows it.
                connect(screen, &QScreen::geometryChanged, this,
                    [this](const QRect &geometry) { setGeometry(geometry); });
            }
            showFullScreen();
        }

        void adopt(QWidget *window, Placement placement)
        {
            if (window == nullptr || window == this || window == m_stage)
                return;
            const QPoint designed = window->pos();
            const bool wasVisible = window->isVisible();
            // What a window manager would frame with a title, the stage frames.
            const bool titled = !window->windowFlags().testFlag(Qt::FramelessWindowHint);
            // A sub-window is a child that keeps its own focus chain: Tab stays
            // within it as it would within a window of its own.
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

        void releaseAll()
        {
            for (Hosted &hosted : m_windows) {
                if (!hosted.window)
                    continue;
                hosted.window->removeEventFilter(this);
                thaw(hosted.window);
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
            m_modal.clear();
        }

    protected:
        void resizeEvent(QResizeEvent *) override
        {
            m_stage->move((width() - m_stage->width()) / 2, (height() - m_stage->height()) / 2);
        }

        // The system's close command on the host goes to the window in front,
        // as it would have gone to that window were it a window of its own.
        void closeEvent(QCloseEvent *event) override
        {
            event->ignore();
            if (QWidget *front = frontWindow())
                front->close();
        }

        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (auto *window = qobject_cast<QWidget *>(watched);
                window != nullptr && isHosted(window)) {
                switch (event->type()) {
                case QEvent::Show:
                    shown(window);
                    break;
                case QEvent::Hide:
                    hidden(window);
                    break;
                default:
                    break;
                }
            }
            // A centred window (or its frame, which follows the window's size)
            // stays centred when its size changes.
            if (event->type() == QEvent::Resize) {
                for (const Hosted &hosted : m_windows) {
                    if (hosted.placement == Placement::Centred && watched == outer(hosted))
                        place(hosted, {});
                }
            }
            if (!isInputEvent(event->type()))
                return false;
            QWidget *modal = topModal();
            if (modal == nullptr)
                return false;
            QWidget *target = widgetFor(watched);
            // Only what lies on the stage is beneath the modal window: a popup
            // (an edit field's context menu) is a window of its own, which Qt
            // gives the input while it is open, Escape included.
            if (target == nullptr || target->window() != this || target == modal
                || modal->isAncestorOf(target) || target == outer(modal))
                return false;
            // Beneath a modal window nothing takes input; its keys go to it. A
            // key it leaves unused travels up to the stage and ends there.
            if (isKeyEvent(event->type()) && !m_forwarding) {
                QWidget *focus = modal->focusWidget();
                if (focus == nullptr || !modal->isAncestorOf(focus))
                    focus = modal;
                m_forwarding = true;
                QCoreApplication::sendEvent(focus, event);
                m_forwarding = false;
            }
            return true;
        }

    private:
        struct Hosted
        {
            QPointer<QWidget> window;
            // The title frame around it, if it has one.
            QPointer<StageFrame> frame;
            Placement placement;
        };

        const Hosted *find(const QWidget *window) const
        {
            const auto it = std::find_if(m_windows.begin(), m_windows.end(),
                [window](const Hosted &hosted) { return hosted.window == window; });
            return it != m_windows.end() ? &*it : nullptr;
        }

        bool isHosted(const QWidget *window) const { return find(window) != nullptr; }

        // What the window is on the stage: its frame, or itself.
        static QWidget *outer(const Hosted &hosted)
        {
            return hosted.frame ? hosted.frame.data() : hosted.window.data();
        }

        QWidget *outer(QWidget *window) const
        {
            const Hosted *hosted = find(window);
            return hosted != nullptr ? outer(*hosted) : window;
        }

        // A child of the stage as the hosted window it is or frames.
        QWidget *hostedAs(QWidget *child) const
        {
            if (auto *frame = qobject_cast<StageFrame *>(child))
                return frame->framed();
            return isHosted(child) ? child : nullptr;
        }

        void place(const Hosted &hosted, QPoint designed)
        {
            QWidget *widget = outer(hosted);
            if (hosted.placement == Placement::Centred) {
                widget->move((m_stage->width() - widget->width()) / 2,
                    (m_stage->height() - widget->height()) / 2);
            } else {
                widget->move(designed);
            }
        }

        QWidget *topModal() const
        {
            for (auto it = m_modal.rbegin(); it != m_modal.rend(); ++it) {
                if (*it && (*it)->isVisible())
                    return *it;
            }
            return nullptr;
        }

        // The modal window on top, else the hosted window shown last.
        QWidget *frontWindow() const
        {
            if (QWidget *modal = topModal())
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

        // The widget an input event is meant for. A native child surface (not
        // a widget) counts as the window container it sits in.
        QWidget *widgetFor(QObject *receiver) const
        {
            if (auto *widget = qobject_cast<QWidget *>(receiver))
                return widget;
            auto *window = qobject_cast<QWindow *>(receiver);
            if (window == nullptr || window == windowHandle())
                return nullptr;
            for (QWidget *container : containers()) {
                if (container->windowHandle() == window)
                    return container;
                const QRect place(container->mapTo(this, QPoint(0, 0)), container->size());
                if (place == window->geometry())
                    return container;
            }
            // Some other surface of ours on the host: nothing to let through.
            return window->parent() == windowHandle() ? m_stage : nullptr;
        }

        std::vector<QWidget *> containers() const
        {
            std::vector<QWidget *> found;
            for (QWidget *widget : m_stage->findChildren<QWidget *>()) {
                if (qstrcmp(widget->metaObject()->className(), "QWindowContainer") == 0)
                    found.push_back(widget);
            }
            return found;
        }

        void shown(QWidget *window)
        {
            outer(window)->raise();
            if (window->testAttribute(Qt::WA_ShowModal) || window->isModal()) {
                m_modal.erase(std::remove(m_modal.begin(), m_modal.end(), window), m_modal.end());
                m_modal.push_back(window);
                freezeBeneath(window);
            }
            focusInto(window);
        }

        void hidden(QWidget *window)
        {
            thaw(window);
            m_modal.erase(std::remove_if(m_modal.begin(), m_modal.end(),
                              [window](const QPointer<QWidget> &w) { return !w || w == window; }),
                m_modal.end());
            if (QWidget *front = frontWindow(); front != nullptr && front != window)
                focusInto(front);
        }

        static void focusInto(QWidget *window)
        {
            QWidget *focus = window->focusWidget();
            if (focus != nullptr && window->isAncestorOf(focus))
                focus->setFocus(Qt::ActiveWindowFocusReason);
            else
                window->setFocus(Qt::ActiveWindowFocusReason);
        }

        void freezeBeneath(QWidget *window)
        {
            const QWidget *above = outer(window);
            const QRect covered(above->mapTo(m_stage, QPoint(0, 0)), above->size());
            std::vector<Frozen> &frozen = m_frozen[window];
            for (QWidget *container : containers()) {
                if (!container->isVisible() || window->isAncestorOf(container))
                    continue;
                const QRect place(container->mapTo(m_stage, QPoint(0, 0)), container->size());
                if (!place.intersects(covered))
                    continue;
                QWidget *holder = container->parentWidget();
                QImage picture;
                QMetaObject::invokeMethod(
                    holder, "stillPicture", Qt::DirectConnection, Q_RETURN_ARG(QImage, picture));
                auto *still = new QLabel(holder);
                still->setObjectName(QStringLiteral("stillPicture"));
                still->setGeometry(container->geometry());
                still->setScaledContents(false);
                if (!picture.isNull())
                    still->setPixmap(QPixmap::fromImage(picture));
                still->show();
                container->hide();
                frozen.push_back({ container, still });
            }
        }

        void thaw(QWidget *window)
        {
            const auto it = m_frozen.find(window);
            if (it == m_frozen.end())
                return;
            for (Frozen &frozen : it->second) {
                if (frozen.container)
                    frozen.container->show();
                delete frozen.still.data();
            }
            m_frozen.erase(it);
        }

        QWidget *m_stage = nullptr;
        std::vector<Hosted> m_windows;
        std::vector<QPointer<QWidget>> m_modal;
        std::map<QWidget *, std::vector<Frozen>> m_frozen;
        bool m_forwarding = false;
    };

    bool g_planned = false;
    StageHost *g_host = nullptr;

} // namespace

namespace stage {

    void setPlanned(bool planned)
    {
        g_planned = planned;
    }

    bool planned()
    {
        return g_planned;
    }

    QWidget *open()
    {
        if (g_host == nullptr) {
            g_host = new StageHost;
            g_host->showOnScreen();
        }
        return g_host->stage();
    }

    QWidget *current()
    {
        return g_host != nullptr ? g_host->stage() : nullptr;
    }

    void adopt(QWidget *window, Placement placement)
    {
        if (g_host != nullptr)
            g_host->adopt(window, placement);
    }

    void adoptIfPlanned(QWidget *window, Placement placement)
    {
        if (g_planned)
            open();
        adopt(window, placement);
    }

    void close()
    {
        delete g_host;
        g_host = nullptr;
    }

} // namespace stage

double stageScaleFactor(QSize pixels, double appliedRatio, double userFactor)
{
    if (pixels.isEmpty() || appliedRatio <= 0.0 || userFactor <= 0.0)
        return userFactor;
    const double fit = std::min(
        double(pixels.width()) / kStageSize.width(), double(pixels.height()) / kStageSize.height());
    // Qt's ratio is the platform's own (a 200 % desktop) times the user's
    // factor; the stage's factor replaces the user's so that the product fits.
    const double platformRatio = appliedRatio / userFactor;
    return fit / platformRatio;
}

StagePlan planStage(std::span<const DisplayMode> modes, bool windowsPlaceable, double appliedRatio,
    double userFactor)
{
    const std::optional<DisplayMode> choice = chooseDisplayMode(modes, kStageMode);
    if (!choice)
        return { false, userFactor };
    const QSize pixels(choice->width, choice->height);
    return { !windowsPlaceable || pixels != kStageSize,
        stageScaleFactor(pixels, appliedRatio, userFactor) };
}

} // namespace dorvel::platform
