#pragma once

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dorvel::display {

/// A display mode as the program asks for it: pixels and bits per pixel.
struct DisplayMode
{
    int width = 0;
    int height = 0;
    int depth = 0;

    friend bool operator==(const DisplayMode &, const DisplayMode &) = default;
};

/**
 * Picks the mode for a full-screen change to at least `wanted`. A mode qualifies
 * when it is at least as wide, as high and as deep as wanted; walking the list
 * in order, a qualifying mode becomes the choice when none of its three excesses
 * over wanted is larger than the current choice's. So an exact match wins, and a
 * later mode with the same excesses replaces an earlier one. Nothing when no mode
 * qualifies.
 */
std::optional<DisplayMode> chooseDisplayMode(
    std::span<const DisplayMode> modes, DisplayMode wanted);

/**
 * The display's modes as the start screen needs them: list them, read the
 * current one, change to one temporarily (never stored as the user's setting)
 * and change back. Tests hand the start screen a stand-in that records calls.
 */
class DisplayModes
{
public:
    virtual ~DisplayModes() = default;
    /// The modes the display accepts for a full-screen change, in its order.
    virtual std::vector<DisplayMode> modes() = 0;
    /// The mode the display shows now.
    virtual DisplayMode current() = 0;
    /// Changes the display to `mode` until restore(); false when nothing changed.
    virtual bool switchTemporarily(const DisplayMode &mode) = 0;
    /// Puts back the mode the user had before switchTemporarily; harmless when
    /// nothing was changed.
    virtual void restore() = 0;
};

/**
 * The display of this session: XRandR on an X display that has it, otherwise
 * (and in a Wayland session) an adapter that offers the screen's current mode
 * only and never changes anything.
 * Create it before the toolkit starts its threads: the XRandR adapter forks a
 * small watchdog process that puts the user's mode back if this process ends
 * without doing so itself (a crash, a signal, a kill).
 */
std::unique_ptr<DisplayModes> createSystemDisplayModes();

/// The do-nothing adapter: the primary screen's size in device pixels and its
/// depth as the only mode.
std::unique_ptr<DisplayModes> createFixedDisplayModes();

/// A Wayland session: no program may change the display mode or place its
/// windows, whether it talks Wayland or X11 (through XWayland, whose mode
/// changes no other program sees).
bool isWaylandSession();

/// The program may place its windows where it likes (and real X events reach
/// them there): the toolkit talks X11, outside a Wayland session.
bool windowsPlaceable();

} // namespace dorvel::display
