// Program entry: the application, the start screen as main window, the loop.
#include "Startup.h"
#include "TfrmDorvel20Main.h"
#include "platform/Clock.h"
#include "platform/ResourceLibrary.h"

int main(int argc, char **argv)
{
    using namespace dorvel;
    const app::Startup startup(argc, argv);
    const auto &application = startup.application;

    app::TfrmDorvel20Main frmDorvel20Main(*startup.sound, platform::systemResourceLoader(),
        platform::systemClock(), *startup.displayModes);
    if (frmDorvel20Main.startFailed())
        return frmDorvel20Main.exitCode();
    QObject::connect(&frmDorvel20Main, &app::TfrmDorvel20Main::closed, application.get(),
        [&] { application->exit(frmDorvel20Main.exitCode()); });
    frmDorvel20Main.show();
    frmDorvel20Main.activateWindow();
    const int code = application->exec();
    // Should the loop have ended some other way, close as Escape would.
    frmDorvel20Main.close();
    return code != 0 ? code : frmDorvel20Main.exitCode();
}
