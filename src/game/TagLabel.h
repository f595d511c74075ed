#pragma once

#include <QLabel>

namespace dorvel::game {

/**
 * A label that carries a `Tag` and reports mouse presses and moves as signals.
 * The row hot areas `Label1`..`Label13` are such labels without text: they are
 * transparent, yet still receive every press, and with mouse tracking on they
 * see moves without a button held. The row arrow `imgPfeil` uses the Tag alone.
 */
class TagLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TagLabel(QWidget *parent = nullptr);

    int Tag = 0;

Q_SIGNALS:
    void mouseDown(dorvel::game::TagLabel *sender, Qt::MouseButton button);
    void mouseMove(dorvel::game::TagLabel *sender);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};

} // namespace dorvel::game
