#pragma once

#include <QApplication>
#include <QString>

#include <memory>

namespace dorvel::display {
class DisplayModes;
}

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

/**
 * Makes the application object for the display `displayModes` describes, with
 * the scale factor that lets the program's 800×600 fill the screen, and plans
 * the stage (platform/Stage.h). The toolkit takes its scale factor only when
 * the application object is made, and what it applies already (a 200 %
 * desktop) is known only from a running one: so when the factor has to change,
 * the first object is dropped and a second one made with it, from the command
 * line as it was given (the first took the toolkit's own options out of argv).
 */
std::unique_ptr<DorvelApplication> createApplication(
    int &argc, char **argv, display::DisplayModes &displayModes);

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
