#pragma once

#include <QPointer>
#include <QWidget>

class QStyleOptionTitleBar;

namespace dorvel::stage {

/**
 * The frame a window of the system would get from the window manager, for a
 * window on the stage that is meant to show its title (a message box): a title
 * bar with the window's title and a close button above the window, and a thin
 * border around both. The window becomes a child of the frame; the frame
 * follows its size, takes its title when it changes and closes it from the
 * close button. Nothing on the stage has a window manager above it, so this is
 * the only title such a window gets there.
 */
class StageFrame final : public QWidget
{
    Q_OBJECT
public:
    StageFrame(QWidget *window, QWidget *stage);

    QWidget *framed() const { return m_window; }
    /// Lets the window go (it keeps its parent until the caller gives it another).
    void release();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QStyleOptionTitleBar titleOption() const;
    int titleHeight() const;
    void fitWindow();

    QPointer<QWidget> m_window;
    bool m_closePressed = false;
};

} // namespace dorvel::stage
