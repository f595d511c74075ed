#pragma once

#include "DisplayMode.h"

#include <QSize>

#include <span>

namespace dorvel::display {

/// The program's screen: every window is designed for an 800×600 display.
inline constexpr QSize kStageSize { 800, 600 };
/// The display mode the full-screen viewer asks for (800×600 at 16 bits); the
/// stage's plan predicts the mode it ends up choosing from this.
inline constexpr DisplayMode kStageMode { kStageSize.width(), kStageSize.height(), 16 };

/**
 * The scale factor the stage needs: the largest that fits an 800×600 stage
 * into a screen of `pixels` device pixels, given what Qt applies now
 * (`appliedRatio`, Qt's device-pixel ratio of that screen: the platform's own
 * ratio, a 200 % desktop say, times the user's QT_SCALE_FACTOR `userFactor`).
 * The result is the QT_SCALE_FACTOR to run with; it takes the place of the
 * user's, since the program fills the screen whatever that asked for.
 */
double stageScaleFactor(QSize pixels, double appliedRatio, double userFactor);

/// How the program is to meet the display, decided before its first window.
struct StagePlan
{
    /// The windows go on the stage (stage::setPlanned).
    bool hosted = false;
    /// The QT_SCALE_FACTOR to run with.
    double scaleFactor = 1.0;
};

/**
 * The plan for a display listing `modes` (device pixels): the screen will show
 * the mode the full-screen viewer chooses. Only where that is 800×600 and the
 * program may place its windows do they stay windows of the system; everywhere
 * else they go on the stage. The scale factor makes 800×600 fill the chosen
 * mode. Without a qualifying mode nothing changes (the viewer reports that).
 */
StagePlan planStage(std::span<const DisplayMode> modes, bool windowsPlaceable, double appliedRatio,
    double userFactor);

} // namespace dorvel::display
