#pragma once

#include <QApplication>
#include <QString>

namespace dorvel::app {

/// Names the program in the task bar and titles its standard error box.
inline const QString kApplicationTitle = QStringLiteral("Halvenor Dorvel DAVED");

/// The application's standard error box: titled with the application title,
/// the error symbol, the text with a full stop added.
void showStandardError(QWidget *parent, const QString &text);

/**
 * The application object of the program. An error that escapes an event
 * handler does not end the program: it is shown in the standard error box and
 * the event loop carries on.
 */
class DorvelApplication : public QApplication
{
    Q_OBJECT
public:
    DorvelApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

/// Runs `handler` the way the application runs an event handler: an error that
/// escapes it is shown in the standard error box. True when it ran through.
template <typename Handler> bool runHandler(QWidget *parent, Handler &&handler);

} // namespace dorvel::app

#include <exception>

namespace dorvel::app {

template <typename Handler> bool runHandler(QWidget *parent, Handler &&handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception &error) {
        showStandardError(parent, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showStandardError(parent, QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}

} // namespace dorvel::app
