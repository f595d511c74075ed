// Pins down the roll animation's tick step: spinning while rolling, settling
// each free die onto its face-table row within the stated number of ticks,
// always forward, and leaving held dice alone.
#include "dice3d/RollAnimation.h"

#include <gtest/gtest.h>

namespace dorvel::dice3d {
namespace {

    using PerDieBool = RollAnimation::PerDie<bool>;
    using PerDieValue = RollAnimation::PerDie<std::uint8_t>;

    // Forward distance in 5-degree steps from one angle to another on the -180..175 circle.
    int forwardSteps(int from, int to)
    {
        return (((to - from) % 360 + 360) % 360) / 5;
    }

    struct Settling
    {
        int ticks = 0; // ticks until the die's turnDone
    };

    // Rolls for rollTicks, stops, and ticks until die 1 (showing value) is at rest,
    // checking after every tick that both angles only ever moved forward by 0 or 5.
    Settling settleOne(int value, int rollTicks)
    {
        RollAnimation animation;
        animation.fillFaceTable();
        PerDieBool held { false, false, true, true, true, true }; // only die 1 moves
        PerDieValue dice { 0, static_cast<std::uint8_t>(value), 1, 1, 1, 1 };
        animation.startRoll(held);
        for (int t = 0; t < rollTicks; ++t)
            animation.step(kRolling, held, dice);
        EXPECT_EQ(animation.dieTurn[1], 0) << "the turn stays 0 while rolling";
        animation.stopRoll(held);
        Settling result;
        while (!animation.turnDone[1] && result.ticks < 1000) {
            const int pitch = animation.diePitch[1];
            const int turn = animation.dieTurn[1];
            animation.step(kSettling, held, dice);
            ++result.ticks;
            EXPECT_LE(forwardSteps(pitch, animation.diePitch[1]), 1);
            EXPECT_LE(forwardSteps(turn, animation.dieTurn[1]), 1);
            // The turn moves only once the pitch has arrived.
            if (animation.dieTurn[1] != turn) {
                EXPECT_TRUE(animation.pitchDone[1]);
            }
            EXPECT_GE(animation.diePitch[1], -180);
            EXPECT_LE(animation.diePitch[1], 175);
            EXPECT_GE(animation.dieTurn[1], -180);
            EXPECT_LE(animation.dieTurn[1], 175);
        }
        const FaceOrientation face = animation.faceTable()[static_cast<std::size_t>(value)];
        EXPECT_EQ(animation.diePitch[1], face.pitch) << "value " << value;
        EXPECT_EQ(animation.dieTurn[1], face.turn) << "value " << value;
        return result;
    }

    TEST(RollAnimation, RollingSpinsThePitchThroughTheWrap)
    {
        RollAnimation animation;
        animation.fillFaceTable();
        PerDieBool held {};
        PerDieValue dice { 0, 1, 1, 1, 1, 1 };
        animation.startRoll(held);
        for (int t = 0; t < 35; ++t)
            animation.step(kRolling, held, dice);
        EXPECT_EQ(animation.diePitch[1], 175);
        animation.step(kRolling, held, dice);
        EXPECT_EQ(animation.diePitch[1], -180) << "180 wraps within the same tick";
        animation.step(kRolling, held, dice);
        EXPECT_EQ(animation.diePitch[1], -175);
        EXPECT_EQ(animation.dieTurn[1], 0);
        EXPECT_FALSE(animation.allTurnDone());
    }

    TEST(RollAnimation, StoppedBeforeTheFirstTickEachValueSettlesInItsBounds)
    {
        // From pitch 0: a 1 is at rest in the first tick; a 2 turns 270 degrees (54
        // ticks); a 5 first pitches to 180 and meets -180 one tick after the wrap.
        EXPECT_EQ(settleOne(1, 0).ticks, 1);
        EXPECT_EQ(settleOne(2, 0).ticks, 54);
        EXPECT_EQ(settleOne(3, 0).ticks, 54);
        EXPECT_EQ(settleOne(4, 0).ticks, 18);
        EXPECT_EQ(settleOne(5, 0).ticks, 37 + 53);
        EXPECT_EQ(settleOne(6, 0).ticks, 37);
    }

    TEST(RollAnimation, FromEveryPitchEachValueSettlesWithinItsBounds)
    {
        const std::array<std::pair<int, int>, 7> bounds { {
            { 0, 0 },
            { 1, 71 },
            { 54, 124 },
            { 1, 71 },
            { 1, 71 },
            { 54, 125 },
            { 1, 72 },
        } };
        for (int value = 1; value <= 6; ++value) {
            int longest = 0;
            for (int rollTicks = 0; rollTicks < 72; ++rollTicks) {
                const int ticks = settleOne(value, rollTicks).ticks;
                EXPECT_GE(ticks, bounds[static_cast<std::size_t>(value)].first)
                    << value << "/" << rollTicks;
                EXPECT_LE(ticks, bounds[static_cast<std::size_t>(value)].second)
                    << value << "/" << rollTicks;
                longest = std::max(longest, ticks);
            }
            EXPECT_EQ(longest, bounds[static_cast<std::size_t>(value)].second) << "value " << value;
        }
    }

    TEST(RollAnimation, HeldDiceKeepTheirAnglesAndAreAtRestAtTheStop)
    {
        RollAnimation animation;
        animation.fillFaceTable();
        animation.diePitch[3] = 90;
        animation.dieTurn[3] = -90;
        PerDieBool held { false, false, false, true, false, false };
        PerDieValue dice { 0, 6, 6, 4, 6, 6 };
        animation.startRoll(held);
        EXPECT_EQ(animation.diePitch[3], 90) << "a roll start leaves a held die's angles";
        for (int t = 0; t < 20; ++t)
            animation.step(kRolling, held, dice);
        animation.stopRoll(held);
        EXPECT_TRUE(animation.turnDone[3]);
        EXPECT_FALSE(animation.turnDone[1]);
        for (int t = 0; t < 80; ++t)
            animation.step(kSettling, held, dice);
        EXPECT_EQ(animation.diePitch[3], 90);
        EXPECT_EQ(animation.dieTurn[3], -90);
        EXPECT_TRUE(animation.allTurnDone());
    }

    TEST(RollAnimation, AllHeldIsAtRestAtTheStop)
    {
        RollAnimation animation;
        animation.fillFaceTable();
        PerDieBool held { false, true, true, true, true, true };
        PerDieValue dice { 0, 2, 2, 2, 2, 2 };
        animation.startRoll(held);
        EXPECT_FALSE(animation.allTurnDone());
        animation.step(kRolling, held, dice);
        animation.stopRoll(held);
        EXPECT_TRUE(animation.allTurnDone());
    }

    TEST(RollAnimation, ARollStartClearsEveryDoneFlag)
    {
        RollAnimation animation;
        animation.fillFaceTable();
        PerDieBool held { false, false, true, false, false, false };
        PerDieValue dice { 0, 1, 1, 1, 1, 1 };
        animation.startRoll(held);
        animation.stopRoll(held);
        animation.step(kSettling, held, dice);
        ASSERT_TRUE(animation.allTurnDone());
        animation.startRoll(held);
        for (int n = 1; n <= 5; ++n) {
            EXPECT_FALSE(animation.pitchDone[static_cast<std::size_t>(n)]);
            EXPECT_FALSE(animation.turnDone[static_cast<std::size_t>(n)]);
        }
    }

} // namespace
} // namespace dorvel::dice3d
