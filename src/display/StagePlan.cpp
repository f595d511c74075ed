#include "StagePlan.h"

#include <algorithm>

namespace dorvel::display {

double stageScaleFactor(QSize pixels, double appliedRatio, double userFactor)
{
    if (pixels.isEmpty() || appliedRatio <= 0.0 || userFactor <= 0.0)
        return userFactor;
    const double fit = std::min(
        double(pixels.width()) / kStageSize.width(), double(pixels.height()) / kStageSize.height());
    // Qt's ratio is the platform's own (a 200 % desktop) times the user's
    // factor; the stage's factor replaces the user's so that the product fits.
    const double platformRatio = appliedRatio / userFactor;
    return fit / platformRatio;
}

StagePlan planStage(std::span<const DisplayMode> modes, bool windowsPlaceable, double appliedRatio,
    double userFactor)
{
    const std::optional<DisplayMode> choice = chooseDisplayMode(modes, kStageMode);
    if (!choice)
        return { false, userFactor };
    const QSize pixels(choice->width, choice->height);
    return { !windowsPlaceable || pixels != kStageSize,
        stageScaleFactor(pixels, appliedRatio, userFactor) };
}

} // namespace dorvel::display
