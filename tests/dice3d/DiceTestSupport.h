#pragma once
// Helpers shared by the dice tests: the generated die model, the face table and
// where a world point shows in the game's dice view.

#include "dice3d/DiceScene.h"
#include "dice3d/DieMesh.h"
#include "dice3d/Projection.h"
#include "dice3d/RollAnimation.h"

#include <QPoint>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace dorvel::dice3d::testing {

/// The game's dice view, in pixels.
inline constexpr int kWidth = 150;
inline constexpr int kHeight = 425;

/// The view pixel (origin top left) where a world point appears.
inline QPoint pixelOf(const DiceScene &scene, Vector3 p)
{
    const Projection projection = Projection::forView(scene.camera(), kWidth, kHeight);
    const Vector4 c = (projection.matrix() * viewMatrix(scene.camera())).map(p);
    return { static_cast<int>(std::lround((c.x / c.w + 1.0) * 0.5 * kWidth)),
        static_cast<int>(std::lround((1.0 - c.y / c.w) * 0.5 * kHeight)) };
}

/// The bytes of the die model as the build generated it.
inline std::vector<std::uint8_t> dieModelBytes()
{
    std::ifstream in(DORVEL_DIE_MODEL_FILE, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline std::shared_ptr<const DieMesh> dieModel()
{
    const std::vector<std::uint8_t> bytes = dieModelBytes();
    return parseModel(bytes.data(), bytes.size(), "3ds");
}

/// The game's own face table: the (pitch, turn) that shows `value` (1..6) to
/// the camera.
inline FaceOrientation faceOf(int value)
{
    RollAnimation animation;
    animation.fillFaceTable();
    return animation.faceTable()[static_cast<std::size_t>(value)];
}

/// Brings a die from its rest frame to show `value`, as a settled roll leaves it:
/// the roll start's reset (turn, pitch, roll to 0), then pitch, then turn.
inline void showValue(DieActor &die, int value)
{
    die.setTurnAngle(0);
    die.setPitchAngle(0);
    die.setRollAngle(0);
    const FaceOrientation face = faceOf(value);
    die.setPitchAngle(static_cast<float>(face.pitch));
    die.setTurnAngle(static_cast<float>(face.turn));
}

/// A scene whose five dice carry the generated model.
inline void loadDice(DiceScene &scene)
{
    const auto mesh = dieModel();
    for (int n = 1; n <= 5; ++n)
        scene.die(n).setMesh(mesh);
}

} // namespace dorvel::dice3d::testing
