#pragma once

#include <QLabel>

namespace dorvel::app {

/**
 * A picture box that reports a click (press and release of the left button
 * inside it) over its whole area, whether it shows a picture or is empty.
 * Pictures are drawn transparently: their white parts let the background show.
 */
class ClickableImage : public QLabel
{
    Q_OBJECT
public:
    explicit ClickableImage(QWidget *parent = nullptr);

    /// Shows `picture` with white as its transparent colour; a null pixmap
    /// clears the box.
    void setTransparentPicture(const QPixmap &picture);
    /// True while the box shows a picture.
    bool hasPicture() const { return !m_picture.isNull(); }
    const QPixmap &picture() const { return m_picture; }

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    bool m_pressed = false;
};

/// A copy of `picture` whose white pixels are transparent.
QPixmap withWhiteTransparent(const QPixmap &picture);

} // namespace dorvel::app
