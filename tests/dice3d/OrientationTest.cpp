// A die's orientation rule: each angle change rotates the die about its own
// current axis, the same value changes nothing, the order of changes matters,
// and the game's pitch-then-turn pattern equals the direct (P, T) construction.
#include "DiceTestSupport.h"

#include "dice3d/DiceScene.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace dorvel::dice3d;
using dorvel::dice3d::testing::faceOf;

namespace {

void expectVector(Vector3 actual, Vector3 expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectFrame(const Frame &actual, const Frame &expected, float tolerance = 1e-5f)
{
    SCOPED_TRACE("right");
    expectVector(actual.right, expected.right, tolerance);
    SCOPED_TRACE("up");
    expectVector(actual.up, expected.up, tolerance);
    SCOPED_TRACE("direction");
    expectVector(actual.direction, expected.direction, tolerance);
}

Vector3 rotateToward(Vector3 from, Vector3 toward, double degrees)
{
    const auto r = static_cast<float>(degrees * std::numbers::pi / 180.0);
    return from * std::cos(r) + toward * std::sin(r);
}

// The rest frame pitched by P about its right axis, then turned by T about the
// pitched Up axis.
Frame pitchThenTurn(double p, double t)
{
    Frame f;
    const Vector3 d1 = rotateToward(f.direction, f.up, p);
    const Vector3 u1 = rotateToward(f.up, f.direction * -1.0f, p);
    const Vector3 d2 = rotateToward(d1, f.right, t);
    const Vector3 r2 = rotateToward(f.right, d1 * -1.0f, t);
    return { r2, u1, d2 };
}

} // namespace

TEST(Orientation, EachAngleTurnsAboutItsOwnAxisInTheStatedSense)
{
    DiceScene scene;
    DieActor &die = scene.die(1);
    expectFrame(die.frame(), Frame {});

    die.setPitchAngle(90); // Direction toward Up
    expectFrame(die.frame(), { { 1, 0, 0 }, { 0, 0, -1 }, { 0, 1, 0 } });
    die.setPitchAngle(0);
    die.setTurnAngle(90); // Direction toward right
    expectFrame(die.frame(), { { 0, 0, -1 }, { 0, 1, 0 }, { 1, 0, 0 } });
    die.setTurnAngle(0);
    die.setRollAngle(90); // right toward Up
    expectFrame(die.frame(), { { 0, 1, 0 }, { -1, 0, 0 }, { 0, 0, 1 } });
    die.setRollAngle(0);
    expectFrame(die.frame(), Frame {});
}

TEST(Orientation, SettingTheHeldValueChangesNothing)
{
    DiceScene scene;
    DieActor &die = scene.die(2);
    die.setPitchAngle(35);
    die.setTurnAngle(-60);
    const Frame before = die.frame();
    QSignalSpy changes(&scene, &DiceScene::changed);
    die.setPitchAngle(35);
    die.setTurnAngle(-60);
    die.setRollAngle(0);
    EXPECT_EQ(changes.count(), 0);
    expectFrame(die.frame(), before, 0.0f);

    die.setPitchAngle(40);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(die.PitchAngle(), 40.0f);
}

TEST(Orientation, OrderOfChangesMatters)
{
    DiceScene scene;
    DieActor &a = scene.die(1);
    DieActor &b = scene.die(2);
    a.setPitchAngle(90);
    a.setTurnAngle(90);
    b.setTurnAngle(90);
    b.setPitchAngle(90);
    EXPECT_EQ(a.PitchAngle(), b.PitchAngle());
    EXPECT_EQ(a.TurnAngle(), b.TurnAngle());
    // Pitch first: the turn runs about the pitched Up (world -z).
    expectFrame(a.frame(), { { 0, -1, 0 }, { 0, 0, -1 }, { 1, 0, 0 } });
    // Turn first: the pitch runs about the turned right axis (world -z).
    expectFrame(b.frame(), { { 0, 0, -1 }, { -1, 0, 0 }, { 0, 1, 0 } });
}

TEST(Orientation, GamePatternEqualsPitchThenTurnFromRest)
{
    // Every roll start resets (turn, pitch, roll := 0); then the animation
    // steps the pitch by 5° with the turn at 0, wrapping at 180, and then the
    // turn with the pitch still. The result is the direct (P, T) frame.
    DiceScene scene;
    DieActor &die = scene.die(3);
    for (int value = 1; value <= 6; ++value) {
        const FaceOrientation target = faceOf(value);
        const int spinTicks = 26 + 11 * value; // where the roll was stopped
        die.setTurnAngle(0);
        die.setPitchAngle(0);
        die.setRollAngle(0);
        int pitch = 0;
        int turn = 0;
        for (int tick = 0; tick < spinTicks || pitch != target.pitch; ++tick) {
            pitch += 5;
            if (pitch >= 180)
                pitch = -180;
            die.setPitchAngle(static_cast<float>(pitch));
        }
        while (turn != target.turn) {
            turn += 5;
            if (turn >= 180)
                turn = -180;
            die.setTurnAngle(static_cast<float>(turn));
        }
        SCOPED_TRACE(value);
        expectFrame(die.frame(), pitchThenTurn(target.pitch, target.turn), 1e-5f);
    }
    // Arbitrary angles too, not only the quarter turns.
    die.setTurnAngle(0);
    die.setPitchAngle(0);
    die.setPitchAngle(35);
    die.setTurnAngle(-145);
    expectFrame(die.frame(), pitchThenTurn(35, -145));
}

TEST(Orientation, ModelMatrixMapsModelAxesOntoTheFrameScaledAndPlaced)
{
    DiceScene scene;
    DieActor &die = scene.die(5);
    die.setPitchAngle(-90);
    die.setPositionZ(-4);
    const Matrix4 m = die.modelMatrix();
    const Vector4 origin = m.map(Vector3 { 0, 0, 0 });
    EXPECT_NEAR(origin.x, 0, 1e-9);
    EXPECT_NEAR(origin.y, 2, 1e-9);
    EXPECT_NEAR(origin.z, -4, 1e-9);
    // Model +y (the 3) now points at the camera, scaled by 0.015.
    const Vector4 up = m.map(Vector3 { 0, 100, 0 });
    EXPECT_NEAR(up.x - origin.x, 0, 1e-6);
    EXPECT_NEAR(up.y - origin.y, 0, 1e-6);
    EXPECT_NEAR(up.z - origin.z, 1.5, 1e-6);
    const Vector4 right = m.map(Vector3 { 100, 0, 0 });
    EXPECT_NEAR(right.x - origin.x, 1.5, 1e-6);
}

TEST(Orientation, LongGamesDoNotDrift)
{
    // Thousands of small steps in one direction keep the frame orthonormal and
    // back on the rest frame after whole revolutions.
    DiceScene scene;
    DieActor &die = scene.die(4);
    int pitch = 0;
    for (int tick = 0; tick < 72 * 500; ++tick) {
        pitch += 5;
        if (pitch >= 180)
            pitch = -180;
        die.setPitchAngle(static_cast<float>(pitch));
    }
    EXPECT_EQ(pitch, 0);
    expectFrame(die.frame(), Frame {}, 1e-5f);
}
