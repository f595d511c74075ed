#include "Startup.h"
#include "TfrmDorvel20Main.h"

#include "platform/Clock.h"
#include "platform/Fonts.h"
#include "platform/SanitizerSupport.h"
#include "resources/ResourceLibrary.h"
#include "stage/Stage.h"

namespace dorvel::app {

// The order and its reasons are in the header.
Startup::Startup(int &argc, char **argv)
{
    m_displayModes = display::createSystemDisplayModes();
    m_sound = sound::createOpenAlSoundLibrary(kSoundFrequency);
    platform::keepGlDriverLoadedForLeakChecks();
    m_application = createApplication(argc, argv, *m_displayModes);
    platform::registerFonts();
}

Startup::~Startup()
{
    m_sound.reset();
    stage::close();
    m_application.reset();
    m_displayModes.reset();
}

int Startup::runStartScreen()
{
    TfrmDorvel20Main frmDorvel20Main(
        *m_sound, resources::systemResourceLoader(), platform::systemClock(), *m_displayModes);
    if (frmDorvel20Main.startFailed())
        return frmDorvel20Main.exitCode();
    QObject::connect(&frmDorvel20Main, &TfrmDorvel20Main::closed, m_application.get(),
        [&] { m_application->exit(frmDorvel20Main.exitCode()); });
    frmDorvel20Main.show();
    frmDorvel20Main.activateWindow();
    const int code = m_application->exec();
    // Should the loop have ended some other way, close as Escape would.
    frmDorvel20Main.close();
    return code != 0 ? code : frmDorvel20Main.exitCode();
}

} // namespace dorvel::app
