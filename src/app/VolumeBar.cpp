#include "VolumeBar.h"

#include <QMouseEvent>

namespace dorvel::app {

VolumeBar::VolumeBar(QWidget *parent)
    : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
    setMouseTracking(true);
    setStyleSheet(QStringLiteral("QProgressBar { background: #d4d0c8; border: 1px solid #404040; }"
                                 "QProgressBar::chunk { background: #0a246a; }"));
}

void VolumeBar::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void VolumeBar::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    Q_EMIT mouseMoved(event->buttons(), position.x(), position.y());
    event->accept();
}

} // namespace dorvel::app
