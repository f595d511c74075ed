// Program entry: what the run holds, made in its order (Startup), then the
// start screen until it closes.
#include "Startup.h"

int main(int argc, char **argv)
{
    dorvel::app::Startup startup(argc, argv);
    return startup.runStartScreen();
}
