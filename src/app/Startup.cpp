#include "Startup.h"
#include "TfrmDorvel20Main.h"

#include "platform/Fonts.h"
#include "platform/SanitizerSupport.h"
#include "platform/Stage.h"

namespace dorvel::app {

Startup::Startup(int &argc, char **argv)
    : displayModes(platform::createSystemDisplayModes())
{
    // The sound system starts on a worker while the toolkit and the fonts do;
    // the start screen's BASS_Init takes the device over.
    sound = platform::createOpenAlSoundLibrary(kSoundFrequency);
    platform::keepGlDriverLoadedForLeakChecks();
    application = createApplication(argc, argv, *displayModes);
    platform::registerFonts();
}

Startup::StageCloser::~StageCloser()
{
    platform::stage::close();
}

} // namespace dorvel::app
