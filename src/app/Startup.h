#pragma once

#include "DorvelApplication.h"
#include "display/DisplayMode.h"
#include "sound/SoundLibrary.h"

#include <memory>

namespace dorvel::app {

/**
 * What the program holds for its whole run: the display modes, the sound
 * library, the application object and the stage. This class alone makes and
 * releases them, in the order written here and in its constructor and
 * destructor; the order of the member declarations does not matter.
 *
 * Made, by the constructor:
 *  1. The display modes, while the process is still single-threaded: on an X
 *     display the adapter forks the watchdog that puts the user's mode back
 *     however the program ends, and a fork copies only the thread that forks.
 *  2. The sound library. It starts opening the output device on a worker at
 *     once, so that the sound system's start overlaps the toolkit's; the start
 *     screen's BASS_Init takes the device over.
 *  3. The application object (createApplication), made twice when the
 *     program's 800×600 needs a scale factor other than the one it started with.
 *  4. The fonts, which need the application.
 * The stage is not made here: the first window that needs it opens it (a
 * message box before the start screen may do so).
 *
 * Released, by the destructor:
 *  1. The sound library: it needs none of the others, and no worker of it is
 *     left running while the toolkit shuts down.
 *  2. The stage, if one was opened: its host is a widget, and widgets must go
 *     while the application exists.
 *  3. The application.
 *  4. The display modes, last: the user's mode comes back once no window of the
 *     program is left on the screen.
 */
class Startup
{
public:
    Startup(int &argc, char **argv);
    ~Startup();
    Startup(const Startup &) = delete;
    Startup &operator=(const Startup &) = delete;

    DorvelApplication &application() const { return *m_application; }
    display::DisplayModes &displayModes() const { return *m_displayModes; }
    sound::SoundLibrary &sound() const { return *m_sound; }

    /// Shows the start screen and runs the event loop until it closes; the
    /// code the program ends with.
    int runStartScreen();

private:
    std::unique_ptr<display::DisplayModes> m_displayModes;
    std::unique_ptr<sound::SoundLibrary> m_sound;
    std::unique_ptr<DorvelApplication> m_application;
};

} // namespace dorvel::app
