#pragma once

#include "TurnState.h"

#include <array>
#include <cstdint>

namespace dorvel::dice3d {

/// Pitch and turn, in whole degrees, that bring a face toward the camera.
struct FaceOrientation
{
    int pitch = 0;
    int turn = 0;
};

/**
 * The state and the tick step of the roll animation, without any GL or widget.
 *
 * Every array is indexed by die number 1..5 (index 0 is unused) or, for the face
 * table, by die value 1..6, so the code reads like the game's own tables.
 * While rolling, the pitch of each free die spins 5 degrees per tick; while
 * settling, each free die runs its pitch forward to its face's target and then
 * its turn forward to its target. Angles stay multiples of 5 in -180..175.
 */
class RollAnimation
{
public:
    template <typename T> using PerDie = std::array<T, 6>;

    /// The turn states; step() moves dice while kRolling and kSettling only.
    using enum TurnState;

    /// Fills the face-orientation table (the game table does this once, when created).
    void fillFaceTable();
    const std::array<FaceOrientation, 7> &faceTable() const { return m_face; }

    /// A turn start: every die's angles back to 0.
    void resetAngles();
    /// A roll start: free dice back to angle 0, then every done flag cleared.
    void startRoll(const PerDie<bool> &held);
    /// A roll stop: a held die is at rest at once.
    void stopRoll(const PerDie<bool> &held);
    /// One timer tick for the given game state, held flags and die values.
    void step(TurnState gameState, const PerDie<bool> &held, const PerDie<std::uint8_t> &dieValue);
    /// True when every die is at rest.
    bool allTurnDone() const;

    PerDie<int> diePitch {};
    PerDie<int> dieTurn {};
    PerDie<bool> pitchDone {};
    PerDie<bool> turnDone {};

private:
    std::array<FaceOrientation, 7> m_face {};
};

} // namespace dorvel::dice3d
