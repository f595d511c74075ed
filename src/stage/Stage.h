#pragma once

class QWidget;

namespace dorvel::stage {

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
 * (a widget holding such a surface offers the picture as a NativeSurface).
 * A window a window manager would frame (one without
 * Qt::FramelessWindowHint: a message box) gets a title frame (StageFrame.h).
 *
 * The parts: the plan (StagePlan.h), the host window (StageHost.h), the input
 * routing beneath modal windows (ModalRouting.h) and the still pictures of
 * native surfaces (SurfaceStills.h).
 *
 * Without a stage (no plan, or tests that create windows directly) every call
 * here changes nothing and windows stay top-level windows of the system.
 */

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

} // namespace dorvel::stage
