#include "ClickableImage.h"

#include <QBitmap>
#include <QMouseEvent>

namespace dorvel::app {

QPixmap withWhiteTransparent(const QPixmap &picture)
{
    if (picture.isNull())
        return picture;
    QPixmap result = picture;
    result.setMask(QBitmap::fromImage(
        picture.toImage().createMaskFromColor(qRgb(255, 255, 255), Qt::MaskInColor)));
    return result;
}

ClickableImage::ClickableImage(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ClickableImage::setTransparentPicture(const QPixmap &picture)
{
    m_picture = picture;
    if (picture.isNull())
        clear();
    else
        setPixmap(withWhiteTransparent(picture));
}

void ClickableImage::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

} // namespace dorvel::app
