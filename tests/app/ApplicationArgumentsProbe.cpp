// Not a test: makes the program's application object as the program does, for a
// display that lists 1600×1200 only, so that it is made a second time with
// scale factor 2; then prints the platform it runs on and the screen's
// device-pixel ratio. ApplicationTest.cpp starts it with toolkit options.
#include "app/DorvelApplication.h"
#include "display/DisplayMode.h"

#include <QScreen>

#include <cstdio>

namespace {

using dorvel::display::DisplayMode;

class LargeDisplay final : public dorvel::display::DisplayModes
{
public:
    std::vector<DisplayMode> modes() override { return { kMode }; }
    DisplayMode current() override { return kMode; }
    bool switchTemporarily(const DisplayMode &) override { return false; }
    void restore() override { }

private:
    static constexpr DisplayMode kMode { 1600, 1200, 24 };
};

} // namespace

int main(int argc, char **argv)
{
    LargeDisplay display;
    const auto application = dorvel::app::createApplication(argc, argv, display);
    const QScreen *screen = QGuiApplication::primaryScreen();
    std::printf("%s %g\n", qPrintable(QGuiApplication::platformName()),
        screen != nullptr ? screen->devicePixelRatio() : 0.0);
    return 0;
}
