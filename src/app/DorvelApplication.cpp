#include "DorvelApplication.h"

#include "display/DisplayMode.h"
#include "display/StagePlan.h"
#include "platform/QtTexts.h"
#include "stage/MessageBox.h"
#include "stage/Stage.h"

#include <QScreen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace dorvel::app {

void showStandardError(QWidget *parent, const QString &text)
{
    stage::showMessageTitled(
        parent, stage::MessageKind::Error, kApplicationTitle, text + QLatin1Char('.'));
}

DorvelApplication::DorvelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(kApplicationTitle);
    setApplicationVersion(QStringLiteral(DORVEL_VERSION));
    setDesktopFileName(QStringLiteral("halvenor-dorvel"));
    // The start screen ends the program itself; message boxes and the backdrop
    // window must not end it by being the last window to close.
    setQuitOnLastWindowClosed(false);
    platform::installGermanQtTexts(*this);
}

std::unique_ptr<DorvelApplication> createApplication(
    int &argc, char **argv, display::DisplayModes &displayModes)
{
    // The toolkit takes its own options (-platform, -display, ...) out of argv
    // as it reads them, by moving the pointers; the second object must see them
    // too, so the pointers as given go back in before it is made.
    const std::vector<char *> asGiven(argv, argv + argc + 1); // with the closing null
    auto application = std::make_unique<DorvelApplication>(argc, argv);
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return application;
    bool given = false;
    double userFactor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&given);
    if (!given || userFactor <= 0.0)
        userFactor = 1.0;
    const display::StagePlan plan = display::planStage(
        displayModes.modes(), display::windowsPlaceable(), screen->devicePixelRatio(), userFactor);
    stage::setPlanned(plan.hosted);
    if (std::abs(plan.scaleFactor - userFactor) > 1e-9) {
        application.reset();
        argc = static_cast<int>(asGiven.size()) - 1;
        std::copy(asGiven.begin(), asGiven.end(), argv);
        qputenv("QT_SCALE_FACTOR", QByteArray::number(plan.scaleFactor, 'g', 12));
        application = std::make_unique<DorvelApplication>(argc, argv);
    }
    return application;
}

bool DorvelApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    runHandler(nullptr, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace dorvel::app
