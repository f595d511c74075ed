#include "MessageBox.h"

#include "platform/MessageTexts.h"

#include "Stage.h"

#include <QMessageBox>

namespace dorvel::stage {

namespace {
    MessageHook &hook()
    {
        static MessageHook current;
        return current;
    }
} // namespace

void setMessageHook(MessageHook newHook)
{
    hook() = std::move(newHook);
}

void showMessage(QWidget *parent, MessageKind kind, const QString &text)
{
    showMessageTitled(parent, kind,
        kind == MessageKind::Error ? QStringLiteral("Fehler") : QStringLiteral("Information"),
        text);
}

void showMessageTitled(QWidget *parent, MessageKind kind, const QString &title, const QString &text)
{
    if (hook()) {
        hook()(kind, title, text);
        return;
    }
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
        title, QString(text).replace(platform::kLineBreak, QStringLiteral("\n")), QMessageBox::Ok,
        parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // Where the program's windows live on a stage, a box that comes before the
    // rest of the program opens the stage for itself.
    stage::adoptIfPlanned(&box, Placement::Centred);
    box.exec();
}

} // namespace dorvel::stage
