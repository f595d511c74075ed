// The choice of the display mode for the 800×600, 16-bit full screen from the
// modes the display lists.
#include "display/DisplayMode.h"

#include <gtest/gtest.h>

using dorvel::display::chooseDisplayMode;
using dorvel::display::DisplayMode;

namespace {

constexpr DisplayMode kWanted { 800, 600, 16 };

std::optional<DisplayMode> choose(std::vector<DisplayMode> modes)
{
    return chooseDisplayMode(modes, kWanted);
}

TEST(DisplayModeChoice, ExactMatchWinsWhereverItStands)
{
    EXPECT_EQ(choose({ { 1024, 768, 32 }, { 800, 600, 16 }, { 1280, 1024, 16 } }),
        (DisplayMode { 800, 600, 16 }));
    EXPECT_EQ(choose({ { 800, 600, 16 }, { 1024, 768, 16 } }), (DisplayMode { 800, 600, 16 }));
}

TEST(DisplayModeChoice, SmallestExcessInEveryDimension)
{
    EXPECT_EQ(choose({ { 1280, 1024, 32 }, { 1024, 768, 32 }, { 800, 600, 32 } }),
        (DisplayMode { 800, 600, 32 }));
    EXPECT_EQ(choose({ { 800, 600, 32 }, { 800, 600, 24 } }), (DisplayMode { 800, 600, 24 }));
}

TEST(DisplayModeChoice, ModeBetterInOneButWorseInAnotherDoesNotReplace)
{
    // 1024×768×16 is not larger in depth but larger in size than 800×600×32 …
    EXPECT_EQ(choose({ { 800, 600, 32 }, { 1024, 768, 16 } }), (DisplayMode { 800, 600, 32 }));
    // … and the other way round: the first qualifying mode stays.
    EXPECT_EQ(choose({ { 1024, 768, 16 }, { 800, 600, 32 } }), (DisplayMode { 1024, 768, 16 }));
}

TEST(DisplayModeChoice, NothingQualifiesBelowAnyMinimum)
{
    EXPECT_EQ(choose({}), std::nullopt);
    EXPECT_EQ(choose({ { 640, 480, 32 }, { 1024, 599, 32 }, { 799, 768, 32 }, { 1024, 768, 8 } }),
        std::nullopt);
    EXPECT_EQ(choose({ { 640, 480, 32 }, { 1920, 1080, 24 } }), (DisplayMode { 1920, 1080, 24 }));
}

} // namespace
