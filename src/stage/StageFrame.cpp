#include "StageFrame.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>

namespace dorvel::stage {

namespace {
    constexpr int kBorder = 1;
} // namespace

StageFrame::StageFrame(QWidget *window, QWidget *stage)
    : QWidget(stage)
    , m_window(window)
{
    setObjectName(QStringLiteral("stageFrame"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    window->setParent(this);
    window->installEventFilter(this);
    fitWindow();
}

void StageFrame::release()
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = nullptr;
}

QStyleOptionTitleBar StageFrame::titleOption() const
{
    QStyleOptionTitleBar option;
    option.initFrom(this);
    option.text = m_window ? m_window->windowTitle() : QString();
    option.icon = QIcon();
    option.subControls = QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarCloseButton;
    option.activeSubControls = m_closePressed ? QStyle::SC_TitleBarCloseButton : QStyle::SC_None;
    option.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    option.titleBarState = Qt::WindowActive;
    option.state |= QStyle::State_Active | QStyle::State_Enabled;
    if (m_closePressed)
        option.state |= QStyle::State_Sunken;
    option.palette.setCurrentColorGroup(QPalette::Active);
    option.rect = QRect(0, 0, width(), 0);
    option.rect.setHeight(style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, this));
    return option;
}

int StageFrame::titleHeight() const
{
    return titleOption().rect.height();
}

// The frame takes the window's size, the title bar and the border around it.
void StageFrame::fitWindow()
{
    if (!m_window)
        return;
    const int title = titleHeight();
    m_window->move(kBorder, kBorder + title);
    resize(m_window->width() + 2 * kBorder, m_window->height() + title + 2 * kBorder);
    update();
}

bool StageFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
            fitWindow();
            break;
        case QEvent::WindowTitleChange:
            update();
            break;
        // Shown or hidden by its own call, the window takes its frame along
        // (a child of a hidden frame would never show).
        case QEvent::ShowToParent:
            show();
            break;
        case QEvent::HideToParent:
            hide();
            break;
        default:
            break;
        }
    }
    return false;
}

void StageFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Window));
    const QStyleOptionTitleBar option = titleOption();
    style()->drawComplexControl(QStyle::CC_TitleBar, &option, &painter, this);
    painter.setPen(palette().color(QPalette::Active, QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void StageFrame::mousePressEvent(QMouseEvent *event)
{
    const QStyleOptionTitleBar option = titleOption();
    m_closePressed = event->button() == Qt::LeftButton
        && style()->hitTestComplexControl(
               QStyle::CC_TitleBar, &option, event->position().toPoint(), this)
            == QStyle::SC_TitleBarCloseButton;
    update();
}

void StageFrame::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_closePressed)
        return;
    m_closePressed = false;
    update();
    const QStyleOptionTitleBar option = titleOption();
    if (m_window
        && style()->hitTestComplexControl(
               QStyle::CC_TitleBar, &option, event->position().toPoint(), this)
            == QStyle::SC_TitleBarCloseButton)
        m_window->close();
}

} // namespace dorvel::stage
