#include "DorvelApplication.h"

#include "platform/MessageBox.h"

namespace dorvel::app {

void showStandardError(QWidget *parent, const QString &text)
{
    platform::showMessageTitled(
        parent, platform::MessageKind::Error, kApplicationTitle, text + QLatin1Char('.'));
}

DorvelApplication::DorvelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(kApplicationTitle);
    setApplicationVersion(QStringLiteral("2.0.2"));
    setDesktopFileName(QStringLiteral("halvenor-dorvel"));
    // The start screen ends the program itself; message boxes and the backdrop
    // window must not end it by being the last window to close.
    setQuitOnLastWindowClosed(false);
}

bool DorvelApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    runHandler(nullptr, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace dorvel::app
