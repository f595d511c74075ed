#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace dorvel::stage {

enum class MessageKind { Error, Information };

/**
 * Shows a modal, centred message box with one "OK" button: an error box titled
 * "Fehler" or an information box titled "Information". Returns when it is closed.
 */
void showMessage(QWidget *parent, MessageKind kind, const QString &text);
/// Shows an error box with the given title (the application's standard error box).
void showMessageTitled(
    QWidget *parent, MessageKind kind, const QString &title, const QString &text);

/// Tests replace the boxes with a recorder: while a hook is set, no box is shown
/// and the hook receives kind, title and text instead. Pass {} to restore.
using MessageHook = std::function<void(MessageKind, const QString &, const QString &)>;
void setMessageHook(MessageHook hook);

} // namespace dorvel::stage
