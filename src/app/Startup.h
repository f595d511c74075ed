#pragma once

#include "DorvelApplication.h"
#include "platform/DisplayMode.h"
#include "platform/SoundLibrary.h"

#include <memory>

namespace dorvel::app {

/**
 * What the program sets up before its start screen, in this order: the display
 * (first, while the process is single-threaded: the display adapter forks the
 * watchdog that restores the user's display mode however the program ends), the
 * sound library, which starts opening the output device on a worker thread, the
 * application (createApplication) and the fonts. A message box before
 * the start screen may have opened the stage; it goes before the application
 * does, whichever way the caller ends.
 */
class Startup
{
public:
    Startup(int &argc, char **argv);

    std::unique_ptr<platform::DisplayModes> displayModes;
    std::unique_ptr<DorvelApplication> application;

private:
    struct StageCloser
    {
        ~StageCloser();
    } m_stageCloser;

public:
    std::unique_ptr<platform::SoundLibrary> sound;
};

} // namespace dorvel::app
