#pragma once

#include <QProgressBar>

namespace dorvel::app {

/**
 * The volume bar: a smooth progress bar that passes every mouse movement over
 * it on, with the buttons held and the position in its own coordinates. While a
 * button is held it keeps the mouse, so positions past its ends arrive too.
 */
class VolumeBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit VolumeBar(QWidget *parent = nullptr);

Q_SIGNALS:
    void mouseMoved(Qt::MouseButtons buttons, int x, int y);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace dorvel::app
