#include "RollAnimation.h"

namespace dorvel::dice3d {

namespace {
    constexpr int kStep = 5;
    // Angles are kept in -180..175: reaching 180 wraps to -180.
    constexpr int kWrapAt = 180;
} // namespace

void RollAnimation::fillFaceTable()
{
    // With the model's faces (1 on +z, 6 on -z, 2 on +x, 5 on -x, 3 on +y,
    // 4 on -y), pitching first and then turning about the pitched Up axis brings
    // each value toward the camera.
    m_face[1] = { 0, 0 };
    m_face[2] = { 0, -90 };
    m_face[3] = { -90, 0 };
    m_face[4] = { 90, 0 };
    m_face[5] = { -180, -90 };
    m_face[6] = { -180, 0 };
}

void RollAnimation::resetAngles()
{
    diePitch.fill(0);
    dieTurn.fill(0);
}

void RollAnimation::startRoll(const PerDie<bool> &held)
{
    for (int n = 1; n <= 5; ++n) {
        if (!held[n]) {
            diePitch[n] = 0;
            dieTurn[n] = 0;
        }
    }
    for (int n = 1; n <= 5; ++n) {
        pitchDone[n] = false;
        turnDone[n] = false;
    }
}

void RollAnimation::stopRoll(const PerDie<bool> &held)
{
    for (int n = 1; n <= 5; ++n) {
        if (held[n])
            turnDone[n] = true;
    }
}

void RollAnimation::step(
    TurnState gameState, const PerDie<bool> &held, const PerDie<std::uint8_t> &dieValue)
{
    for (int i = 1; i <= 5; ++i) {
        if (!held[i]) {
            if (gameState == kRolling)
                diePitch[i] += kStep;
            if (gameState == kSettling) {
                // The tests below see this tick's increment before the wrap, so a
                // pitch that has just reached 180 meets no target, and the turn
                // starts in the very tick in which the pitch arrives.
                const FaceOrientation &target = m_face.at(dieValue[i]);
                if (diePitch[i] != target.pitch)
                    diePitch[i] += kStep;
                if (diePitch[i] == target.pitch)
                    pitchDone[i] = true;
                if (pitchDone[i] && dieTurn[i] != target.turn)
                    dieTurn[i] += kStep;
                if (pitchDone[i] && dieTurn[i] == target.turn)
                    turnDone[i] = true;
            }
        }
        if (diePitch[i] >= kWrapAt)
            diePitch[i] = -kWrapAt;
        if (dieTurn[i] >= kWrapAt)
            dieTurn[i] = -kWrapAt;
    }
}

bool RollAnimation::allTurnDone() const
{
    for (int n = 1; n <= 5; ++n) {
        if (!turnDone[n])
            return false;
    }
    return true;
}

} // namespace dorvel::dice3d
