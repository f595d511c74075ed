// Program entry: the application, the start screen as main window, the loop.
#include "DorvelApplication.h"
#include "TfrmDorvel20Main.h"
#include "platform/Clock.h"
#include "platform/DisplayMode.h"
#include "platform/Fonts.h"
#include "platform/ResourceLibrary.h"
#include "platform/SanitizerSupport.h"
#include "platform/SoundLibrary.h"
#include "platform/Stage.h"

int main(int argc, char **argv)
{
    using namespace dorvel;
    // First, while the process is single-threaded: the display adapter forks the
    // watchdog that restores the user's display mode however the program ends.
    const auto displayModes = platform::createSystemDisplayModes();

    platform::keepGlDriverLoadedForLeakChecks();
    const auto application = app::createApplication(argc, argv, *displayModes);
    // A message box before the start screen may have opened the stage; it goes
    // before the application does, whichever way main ends.
    struct StageCloser
    {
        ~StageCloser() { platform::stage::close(); }
    } stageCloser;
    platform::registerFonts();
    const auto sound = platform::createOpenAlSoundLibrary();

    app::TfrmDorvel20Main frmDorvel20Main(
        *sound, platform::systemResourceLoader(), platform::systemClock(), *displayModes);
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
