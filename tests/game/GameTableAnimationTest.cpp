// Pins down the roll animation as the game table applies it: the tick handler
// brings every free die object to its face-table orientation and leaves held
// dice alone, a roll start puts the free dice back to their rest frame, settling
// ends with GameState 5 and the timer off, and the roll button comes back only
// while the turn has rolls left.
// How the angles step tick by tick is the dice tests' business.
#include "GameTableSupport.h"

#include "game/TagButton.h"

#include <QTest>

#include <cmath>

namespace dorvel::test {
namespace {

    using game::TfrmDorvel20Game;

    class GameTableAnimationTest : public GameTableTest
    {
    protected:
        void tick() { game->AsyncTimer1Timer(&game->AsyncTimer1); }
        void tickUntilSettled()
        {
            for (int t = 0; t < 200 && game->GameState != TfrmDorvel20Game::kSettled; ++t)
                tick();
        }
        void expectFace(int n)
        {
            const auto &face
                = game->animation.faceTable()[game->dieValue[static_cast<std::size_t>(n)]];
            const dice3d::DieActor &die = game->GLScene1.die(n);
            EXPECT_EQ(die.PitchAngle(), static_cast<float>(face.pitch)) << "die " << n;
            EXPECT_EQ(die.TurnAngle(), static_cast<float>(face.turn)) << "die " << n;
            EXPECT_EQ(die.RollAngle(), 0.0f) << "die " << n;
        }
    };

    TEST_F(GameTableAnimationTest, EveryValueComesToRestOnItsFaceRow)
    {
        start(1);
        for (const auto &values : { std::array<std::uint8_t, 5> { 1, 2, 3, 4, 5 },
                 std::array<std::uint8_t, 5> { 6, 5, 4, 2, 1 } }) {
            // Spin a while, so the dice settle from wherever they stand.
            for (int t = 0; t < 23; ++t)
                tick();
            EXPECT_EQ(game->GLScene1.die(1).PitchAngle(), 115.0f);
            EXPECT_EQ(game->GLScene1.die(1).TurnAngle(), 0.0f);
            QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
            setDice(values);
            tickUntilSettled();
            for (int n = 1; n <= 5; ++n)
                expectFace(n);
            EXPECT_FALSE(game->AsyncTimer1.Enabled());
            QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        }
    }

    TEST_F(GameTableAnimationTest, HeldDiceAreNotTouchedByARoll)
    {
        start(1);
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        setDice({ 4, 5, 6, 2, 3 });
        tickUntilSettled();
        game->holdOrRelease(&game->GLScene1.die(2));
        game->holdOrRelease(&game->GLScene1.die(4));
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        for (int t = 0; t < 30; ++t)
            tick();
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_EQ(game->dieValue[2], 5);
        EXPECT_EQ(game->dieValue[4], 2);
        tickUntilSettled();
        expectFace(2);
        expectFace(4);
        EXPECT_EQ(game->animation.diePitch[2], -180);
        EXPECT_EQ(game->animation.dieTurn[2], -90);
    }

    // A roll start undoes turn, then pitch, then roll on every free die object:
    // only that order brings a die that rests both pitched and turned (a five)
    // back to the rest frame the spin starts from.
    TEST_F(GameTableAnimationTest, ARollStartPutsEveryFreeDieBackToItsRestFrame)
    {
        start(1);
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        setDice({ 5, 5, 6, 2, 5 });
        tickUntilSettled();
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        for (int n = 1; n <= 5; ++n) {
            // An orthonormal frame with these three ones is the rest frame.
            const dice3d::Frame &f = game->GLScene1.die(n).frame();
            EXPECT_LT(
                std::abs(f.right.x - 1) + std::abs(f.up.y - 1) + std::abs(f.direction.z - 1), 1e-5f)
                << "die " << n;
        }
    }

    TEST_F(GameTableAnimationTest, AllHeldSettlesOnTheFirstTickAndTheButtonReturns)
    {
        start(1);
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        tickUntilSettled();
        const game::Dice before = game->dice();
        for (int n = 1; n <= 5; ++n)
            game->holdOrRelease(&game->GLScene1.die(n));
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_TRUE(game->AsyncTimer1.Enabled());
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_TRUE(game->btnWuerfeln->isHidden());
        tick();
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettled);
        EXPECT_FALSE(game->AsyncTimer1.Enabled());
        EXPECT_TRUE(game->btnWuerfeln->isVisible()) << "throw 2 of 3";
        EXPECT_EQ(game->dice(), before);
        EXPECT_EQ(game->throwNo, 2);

        // The third throw is used up the same way; the button then stays hidden.
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        tick();
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettled);
        EXPECT_TRUE(game->btnWuerfeln->isHidden());
    }

    TEST_F(GameTableAnimationTest, TheRealTimerSettlesTheDice)
    {
        start(1, true, true, false);
        EXPECT_EQ(game->AsyncTimer1.Interval(), 10);
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return game->GameState == TfrmDorvel20Game::kSettled; }, 10000));
        for (int n = 1; n <= 5; ++n)
            expectFace(n);
        EXPECT_TRUE(game->btnWuerfeln->isVisible());
    }

} // namespace
} // namespace dorvel::test
