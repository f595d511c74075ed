#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace dorvel::stage {

/**
 * What the system's modality does for windows of their own, done for windows
 * on the stage: beneath a window shown modally (exec()) nothing takes input,
 * and keys meant for something beneath go to that window's focus instead
 * (Escape closes the dialog in front, not the start screen). It watches every
 * event of the application while it exists.
 */
class ModalRouting final : public QObject
{
public:
    /// `host` is the window the stage lies in, `stage` the stage.
    ModalRouting(QWidget *host, QWidget *stage);
    ~ModalRouting() override;

    /// `window` is shown modally; `outer` is what it is on the stage (its
    /// title frame, or itself), which takes clicks too.
    void push(QWidget *window, QWidget *outer);
    void remove(const QWidget *window);
    void clear();
    /// The modal window shown last that is still visible, else nullptr.
    QWidget *top() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Modal
    {
        QPointer<QWidget> window;
        QPointer<QWidget> outer;
    };

    bool within(const Modal &modal, const QWidget *target) const;
    const Modal *topModal() const;
    QWidget *widgetFor(QObject *receiver) const;

    QWidget *m_host;
    QWidget *m_stage;
    std::vector<Modal> m_modal;
    bool m_forwarding = false;
};

} // namespace dorvel::stage
