#include "TagLabel.h"

#include <QMouseEvent>

namespace dorvel::game {

TagLabel::TagLabel(QWidget *parent)
    : QLabel(parent)
{
    setMouseTracking(true);
}

void TagLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT mouseDown(this, event->button());
}

void TagLabel::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT mouseMove(this);
}

} // namespace dorvel::game
