#pragma once
// Helpers shared by the dice tests: the generated die model and the face table.

#include "dice3d/DiceScene.h"
#include "dice3d/DieMesh.h"

#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace dorvel::dice3d::testing {

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

/// The game's face table: (pitch, turn) that shows value 1..6 to the camera.
struct FaceAngles
{
    int pitch;
    int turn;
};
inline constexpr std::array<FaceAngles, 7> kFaceTable { {
    { 0, 0 },
    { 0, 0 },
    { 0, -90 },
    { -90, 0 },
    { 90, 0 },
    { -180, -90 },
    { -180, 0 },
} };

/// Brings a die from its rest frame to show `value`, as a settled roll leaves it:
/// the roll start's reset (turn, pitch, roll to 0), then pitch, then turn.
inline void showValue(DieActor &die, int value)
{
    die.setTurnAngle(0);
    die.setPitchAngle(0);
    die.setRollAngle(0);
    die.setPitchAngle(static_cast<float>(kFaceTable[static_cast<std::size_t>(value)].pitch));
    die.setTurnAngle(static_cast<float>(kFaceTable[static_cast<std::size_t>(value)].turn));
}

/// A scene whose five dice carry the generated model.
inline void loadDice(DiceScene &scene)
{
    const auto mesh = dieModel();
    for (int n = 1; n <= 5; ++n)
        scene.die(n).setMesh(mesh);
}

} // namespace dorvel::dice3d::testing
