#pragma once

#include "DisplayMode.h"

#include <QSize>

#include <span>

class QWidget;

namespace dorvel::platform {

/// The program's screen: every window is designed for an 800×600 display.
inline constexpr QSize kStageSize { 800, 600 };
/// The display mode the full-screen viewer asks for (800×600 at 16 bits); the
/// stage's plan predicts the mode it ends up choosing from this.
inline constexpr DisplayMode kStageMode { kStageSize.width(), kStageSize.height(), 16 };

/// Where a window sits on the stage.
enum class Placement {
    AsDesigned, ///< at the position the window gave itself with move()
    Centred ///< centred on the stage, whatever size it takes
};

/**
 * The stage: where the display cannot be made 800×600 (a Wayland session, a
 * larger screen without such a mode), one borderless full-screen window, the
 * host, stands in for the whole display. It is black and holds an 800×600
 * child, the stage, centred in it; every window of the program lives on the
 * stage as a child widget at its designed coordinates. The program starts with
 * a scale factor that makes the stage fill the screen (Qt's own scaling), so
 * text and pictures are drawn at the larger size.
 *
 * Hosted windows are children, not windows of the system, so the host does
 * what the system would do for windows: it raises each window when shown,
 * blocks input to everything beneath a window shown modally (exec()) and sends
 * keys to that window, and, since native child surfaces (the dice view's GL
 * window) lie above everything the host paints, replaces a native surface a
 * modal window overlaps with a still picture of it while that window is up
 * (the widget holding the surface's container may offer
 * `Q_INVOKABLE QImage stillPicture()`; without it the place stays black).
 *
 * Without a stage (no plan, or tests that create windows directly) every call
 * here changes nothing and windows stay top-level windows of the system.
 */
namespace stage {

    /// Decided by the program entry before any window exists.
    void setPlanned(bool planned);
    bool planned();

    /// The stage widget, creating and showing the host full screen on the
    /// primary screen if there is none yet. Returns the existing stage at once.
    QWidget *open();
    /// The stage widget when the host exists, otherwise nullptr.
    QWidget *current();

    /// Puts a window on the stage, keeping its position as stage coordinates
    /// (or centring it). Nothing happens without a stage.
    void adopt(QWidget *window, Placement placement = Placement::AsDesigned);
    /// adopt() after opening the stage if one is planned (windows that come up
    /// before the display is set up, such as start-up message boxes).
    void adoptIfPlanned(QWidget *window, Placement placement = Placement::AsDesigned);

    /// Takes every window off the stage (they become hidden top-level windows
    /// again, owned by whoever created them) and removes the host.
    void close();

} // namespace stage

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

} // namespace dorvel::platform
