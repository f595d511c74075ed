// How the program meets a display before its first window: whether its windows
// go on the stage and with which scale factor the toolkit is started.
#include "display/StagePlan.h"

#include <gtest/gtest.h>

#include <vector>

using dorvel::display::DisplayMode;
using dorvel::display::planStage;

TEST(StagePlan, WindowsAndScaleFactorForEachDisplay)
{
    struct Case
    {
        const char *what;
        std::vector<DisplayMode> modes;
        bool placeable;
        double appliedRatio;
        double userFactor;
        bool hosted;
        double factor;
    };
    const std::vector<Case> cases {
        { "X11 with an 800x600 mode", { { 1024, 768, 24 }, { 800, 600, 24 } }, true, 1, 1, false,
            1 },
        { "X11 already 800x600", { { 800, 600, 16 } }, true, 1, 1, false, 1 },
        { "larger X screen, no 800x600", { { 1600, 1200, 24 } }, true, 1, 1, true, 2 },
        { "the same with QT_SCALE_FACTOR=2", { { 1600, 1200, 24 } }, true, 2, 2, true, 2 },
        { "the same on a 200 % desktop", { { 1600, 1200, 24 } }, true, 2, 1, true, 1 },
        { "a 200 % desktop switched to 800x600", { { 800, 600, 24 } }, true, 2, 1, false, 0.5 },
        { "the nearest larger mode is the one shown", { { 1600, 1200, 24 }, { 1024, 768, 24 } },
            true, 1, 1, true, 1.28 },
        { "Wayland, 1280x800 output", { { 1280, 800, 24 } }, false, 1, 1, true, 4.0 / 3.0 },
        { "Wayland, an output exactly 800x600", { { 800, 600, 24 } }, false, 1, 1, true, 1 },
        { "Wayland, a wide output at scale 2", { { 3840, 1600, 24 } }, false, 2, 1, true,
            4.0 / 3.0 },
        { "no mode qualifies: as it was", { { 640, 480, 24 } }, true, 1, 1.5, false, 1.5 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto plan = planStage(c.modes, c.placeable, c.appliedRatio, c.userFactor);
        EXPECT_EQ(plan.hosted, c.hosted);
        EXPECT_NEAR(plan.scaleFactor, c.factor, 1e-9);
    }
}
