#include "Startup.h"

#include "platform/Fonts.h"
#include "platform/SanitizerSupport.h"
#include "platform/Stage.h"

namespace dorvel::app {

Startup::Startup(int &argc, char **argv)
    : displayModes(platform::createSystemDisplayModes())
{
    platform::keepGlDriverLoadedForLeakChecks();
    application = createApplication(argc, argv, *displayModes);
    platform::registerFonts();
    sound = platform::createOpenAlSoundLibrary();
}

Startup::StageCloser::~StageCloser()
{
    platform::stage::close();
}

} // namespace dorvel::app
