#pragma once

#include "ModalRouting.h"
#include "Stage.h"
#include "SurfaceStills.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace dorvel::stage {

class StageFrame;

/**
 * The host: the borderless full-screen window that holds the stage, centred
 * on black, and does for the windows on it what the system does for windows
 * of their own. It raises a window when it is shown and gives it the focus,
 * keeps a centred window centred, routes input beneath a modal window
 * (ModalRouting), puts still pictures over the native surfaces a modal window
 * covers (SurfaceStills), frames a window that wants a title (StageFrame), and
 * sends the system's close command to the window in front.
 */
class StageHost final : public QWidget
{
public:
    StageHost();
    ~StageHost() override;

    QWidget *stage() const { return m_stage; }
    /// Full screen on the primary screen, following its size.
    void showOnScreen();
    void adopt(QWidget *window, Placement placement);
    /// Takes every window off the stage: hidden top-level windows again.
    void releaseAll();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Hosted
    {
        QPointer<QWidget> window;
        // The title frame around it, if it has one.
        QPointer<StageFrame> frame;
        Placement placement;
    };

    const Hosted *find(const QWidget *window) const;
    static QWidget *outer(const Hosted &hosted);
    QWidget *outer(QWidget *window) const;
    QWidget *hostedAs(QWidget *child) const;
    void place(const Hosted &hosted, QPoint designed);
    QWidget *frontWindow() const;
    void shown(QWidget *window);
    void hidden(QWidget *window);
    static void focusInto(QWidget *window);

    QWidget *m_stage = nullptr;
    std::vector<Hosted> m_windows;
    std::unique_ptr<ModalRouting> m_routing;
    SurfaceStills m_stills;
};

} // namespace dorvel::stage
