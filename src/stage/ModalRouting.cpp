#include "ModalRouting.h"

#include "NativeSurface.h"
#include "SurfaceStills.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace dorvel::stage {

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

} // namespace

ModalRouting::ModalRouting(QWidget *host, QWidget *stage)
    : m_host(host)
    , m_stage(stage)
{
    QCoreApplication::instance()->installEventFilter(this);
}

ModalRouting::~ModalRouting()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void ModalRouting::push(QWidget *window, QWidget *outer)
{
    remove(window);
    m_modal.push_back({ window, outer });
}

void ModalRouting::remove(const QWidget *window)
{
    m_modal.erase(
        std::remove_if(m_modal.begin(), m_modal.end(),
            [window](const Modal &modal) { return !modal.window || modal.window == window; }),
        m_modal.end());
}

void ModalRouting::clear()
{
    m_modal.clear();
}

const ModalRouting::Modal *ModalRouting::topModal() const
{
    for (auto it = m_modal.rbegin(); it != m_modal.rend(); ++it) {
        if (it->window && it->window->isVisible())
            return &*it;
    }
    return nullptr;
}

QWidget *ModalRouting::top() const
{
    const Modal *modal = topModal();
    return modal != nullptr ? modal->window.data() : nullptr;
}

bool ModalRouting::within(const Modal &modal, const QWidget *target) const
{
    return target == modal.window || modal.window->isAncestorOf(target) || target == modal.outer;
}

bool ModalRouting::eventFilter(QObject *watched, QEvent *event)
{
    if (!isInputEvent(event->type()))
        return false;
    const Modal *modal = topModal();
    if (modal == nullptr)
        return false;
    QWidget *target = widgetFor(watched);
    // Only what lies on the stage is beneath the modal window: a popup (an
    // edit field's context menu) is a window of its own, which Qt gives the
    // input while it is open, Escape included.
    if (target == nullptr || target->window() != m_host || within(*modal, target))
        return false;
    // Beneath a modal window nothing takes input; its keys go to it. A key it
    // leaves unused travels up to the stage and ends there.
    if (isKeyEvent(event->type()) && !m_forwarding) {
        QWidget *focus = modal->window->focusWidget();
        if (focus == nullptr || !modal->window->isAncestorOf(focus))
            focus = modal->window;
        m_forwarding = true;
        QCoreApplication::sendEvent(focus, event);
        m_forwarding = false;
    }
    return true;
}

// The widget an input event is meant for. A native surface (not a widget)
// counts as the window container it is shown in.
QWidget *ModalRouting::widgetFor(QObject *receiver) const
{
    if (auto *widget = qobject_cast<QWidget *>(receiver))
        return widget;
    auto *window = qobject_cast<QWindow *>(receiver);
    if (window == nullptr || window == m_host->windowHandle())
        return nullptr;
    for (NativeSurface *surface : nativeSurfacesOn(m_stage)) {
        if (surface->surfaceWindow() == window)
            return surface->surfaceContainer();
    }
    // Some other surface of ours on the host: nothing to let through.
    return window->parent() == m_host->windowHandle() ? m_stage : nullptr;
}

} // namespace dorvel::stage
