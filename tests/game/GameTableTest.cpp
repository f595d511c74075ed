// Pins down the game table's turn and round flow through the real window: the
// roll button's cycle, the row marker's rules, score entry with the five-of-a-kind
// bonus turn, the sums, round counting, holding dice, the game's sounds, Escape,
// and the end of the game with the high-score window.
#include "GameTableSupport.h"

#include "dice3d/DiceView.h"
#include "game/RandomGenerator.h"
#include "game/ScoringRules.h"
#include "game/TagButton.h"
#include "platform/MessageTexts.h"
#include "storage/ConfigRecord.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace dorvel::test {
namespace {

    using game::TfrmDorvel20Game;

    TEST_F(GameTableTest, ATurnFromItsStartToARowEntry)
    {
        start(1);
        // nextTurn starts the first roll at once.
        EXPECT_EQ(game->currentPlayer, 1);
        EXPECT_EQ(game->roundNo, 1);
        EXPECT_EQ(game->throwNo, 1);
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kRolling);
        EXPECT_EQ(game->btnWuerfeln->Tag, 1);
        EXPECT_EQ(game->btnWuerfeln->text(), QStringLiteral("Stop !!!"));
        EXPECT_TRUE(game->AsyncTimer1.Enabled());
        EXPECT_EQ(game->lblWurfNr->text(), QStringLiteral("1"));
        EXPECT_EQ(game->lblRundeNr->text(), QStringLiteral("1"));
        EXPECT_TRUE(game->imgPfeil->isHidden());

        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettling);
        EXPECT_TRUE(game->btnWuerfeln->isHidden());
        EXPECT_EQ(game->btnWuerfeln->Tag, 0);
        EXPECT_EQ(game->btnWuerfeln->text(), QStringLiteral("Würfeln !!!"));
        // The fixed clock at noon seeds the generator: 3, 3, 5, 2, 3.
        EXPECT_EQ(game->dice(), (game::Dice { 3, 3, 5, 2, 3 }));

        for (int tick = 0; tick < 200 && game->GameState != TfrmDorvel20Game::kSettled; ++tick)
            game->AsyncTimer1Timer(&game->AsyncTimer1);
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettled);
        EXPECT_FALSE(game->AsyncTimer1.Enabled());
        EXPECT_TRUE(game->btnWuerfeln->isVisible());

        setDice({ 3, 3, 3, 5, 5 });
        moveOverRow(9);
        EXPECT_TRUE(game->imgPfeil->isVisible());
        EXPECT_EQ(game->imgPfeil->Tag, 9);
        EXPECT_EQ(game->imgPfeil->y(), rowLabel(9)->y());
        clickRow(9);

        EXPECT_EQ(cellText(1, 9), QStringLiteral("25"));
        EXPECT_EQ(game->scores[1][9], 25);
        EXPECT_EQ(sumText(1, 1), QStringLiteral("0"));
        EXPECT_EQ(sumText(1, 2), QStringLiteral("0"));
        EXPECT_EQ(sumText(1, 4), QStringLiteral("25"));
        EXPECT_EQ(sumText(1, 5), QStringLiteral("25"));
        // One player: the next turn is the same player's, in the next round.
        EXPECT_EQ(game->currentPlayer, 1);
        EXPECT_EQ(game->roundNo, 2);
        EXPECT_EQ(game->throwNo, 1);
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kRolling);
        EXPECT_TRUE(game->imgPfeil->isHidden());
        EXPECT_EQ(game->imgPfeil->Tag, 0);
    }

    // Each row's label enters its own row's rule into its own cell, and the sum
    // labels show the upper bonus and the totals. The dice score differently
    // under neighbouring rules (the three of a kind scores 0 as four of a kind),
    // so a label wired to another row shows. Row 12 is left out: it has its own
    // tests, and a thirteenth entry would end the game.
    TEST_F(GameTableTest, EachRowLabelEntersItsOwnRuleAndTheSumsShowTheBonus)
    {
        start(1);
        const std::array<game::Dice, 14> dice { { {}, { 1, 1, 1, 2, 3 }, { 2, 2, 2, 1, 3 },
            { 3, 3, 3, 1, 2 }, { 4, 4, 4, 1, 2 }, { 5, 5, 5, 1, 2 }, { 6, 6, 6, 1, 2 },
            { 3, 3, 3, 1, 2 }, { 6, 6, 6, 6, 2 }, { 2, 2, 3, 3, 3 }, { 1, 3, 4, 5, 6 },
            { 2, 3, 4, 5, 6 }, {}, { 2, 3, 4, 5, 6 } } };
        for (int r = 1; r <= 13; ++r) {
            if (r == 12)
                continue;
            const game::Dice &values = dice[static_cast<std::size_t>(r)];
            enter(r, values);
            EXPECT_EQ(cellText(1, r), QString::number(game::scoreRow(values, r))) << r;
        }
        EXPECT_EQ(sumText(1, 1), QStringLiteral("63"));
        EXPECT_EQ(sumText(1, 2), QStringLiteral("35"));
        EXPECT_EQ(sumText(1, 3), QStringLiteral("98"));
        EXPECT_EQ(sumText(1, 4), QStringLiteral("153"));
        EXPECT_EQ(sumText(1, 5), QStringLiteral("251"));
        EXPECT_EQ(game->roundNo, 13);
    }

    // Every turn re-seeds the generator from the clock; within a turn the draws
    // go on, one per free die, held dice taking none.
    TEST_F(GameTableTest, EachTurnSeedsFromTheClockAndHeldDiceTakeNoDraw)
    {
        game::RandomGenerator random { 1000 };
        const auto next = [&random] { return random.nextDie(); };
        clock.value = 1000;
        start(2);
        stopAndSettle();
        const game::Dice first { next(), next(), next(), next(), next() };
        EXPECT_EQ(game->dice(), first);
        game->holdOrRelease(&game->GLScene1.die(2));
        game->holdOrRelease(&game->GLScene1.die(4));
        rollAgain();
        EXPECT_EQ(game->dice(), (game::Dice { next(), first[1], next(), first[3], next() }));

        for (const std::uint32_t now : { 2000u, 2001u }) { // player 2, then player 1 again
            clock.value = random.seed = now;
            moveOverRow(13);
            clickRow(13);
            stopAndSettle();
            EXPECT_EQ(game->dice(), (game::Dice { next(), next(), next(), next(), next() })) << now;
        }
    }

    TEST_F(GameTableTest, UsedRowsCannotBeMarkedAndOnlyTheMarkedRowTakesAClick)
    {
        start(1);
        enter(1, { 1, 1, 2, 3, 4 });
        stopAndSettle();
        moveOverRow(1);
        EXPECT_TRUE(game->imgPfeil->isHidden()) << "row 1 is used";
        EXPECT_EQ(game->imgPfeil->Tag, 0);

        moveOverRow(2);
        EXPECT_EQ(game->imgPfeil->Tag, 2);
        clickRow(3);
        EXPECT_EQ(cellText(1, 3), QString()) << "row 3 is not the marked row";
        clickRow(1);
        EXPECT_EQ(cellText(1, 1), QStringLiteral("2"));
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettled);
        EXPECT_EQ(game->roundNo, 2);

        moveOverRow(1);
        EXPECT_EQ(game->imgPfeil->Tag, 2) << "moving over a used row leaves the marker";
        EXPECT_EQ(game->imgPfeil->y(), rowLabel(2)->y());
    }

    TEST_F(GameTableTest, AnyMouseButtonEntersTheMarkedRow)
    {
        start(1);
        stopAndSettle();
        setDice({ 4, 4, 1, 2, 3 });
        moveOverRow(4);
        game::TagLabel *label = rowLabel(4);
        QTest::mouseClick(label, Qt::RightButton, {}, label->rect().center());
        EXPECT_EQ(cellText(1, 4), QStringLiteral("8"));
    }

    TEST_F(GameTableTest, MarkerMovesPlayTheHoverSoundOnlyWhenTheMarkerMoves)
    {
        start(1);
        stopAndSettle();
        sound.clear();
        moveOverRow(3);
        EXPECT_EQ(sound.callsStartingWith("SamplePlay(" + std::to_string(kHoverSample)).size(), 1u);
        moveOverRow(3);
        EXPECT_EQ(sound.callsStartingWith("SamplePlay(" + std::to_string(kHoverSample)).size(), 1u);
        moveOverRow(8);
        EXPECT_EQ(sound.callsStartingWith("SamplePlay(" + std::to_string(kHoverSample)).size(), 2u);
    }

    TEST_F(GameTableTest, ASecondFiveOfAKindAddsOneHundredAndGivesAnExtraTurn)
    {
        start(4);
        enter(12, { 4, 4, 4, 4, 4 });
        EXPECT_EQ(cellText(1, 12), QStringLiteral("50"));
        EXPECT_EQ(game->currentPlayer, 2) << "the first five of a kind passes play on";
        for (int p = 2; p <= 4; ++p)
            enter(13, { 1, 2, 3, 4, 6 });
        ASSERT_EQ(game->currentPlayer, 1);
        ASSERT_EQ(game->roundNo, 2);

        stopAndSettle();
        setDice({ 6, 6, 6, 6, 6 });
        moveOverRow(12);
        EXPECT_EQ(game->imgPfeil->Tag, 12) << "a filled row 12 may be marked with five of a kind";
        clickRow(12);
        EXPECT_EQ(cellText(1, 12), QStringLiteral("150"));
        EXPECT_EQ(sumText(1, 4), QStringLiteral("150"));
        EXPECT_EQ(game->currentPlayer, 1) << "the same player rolls again";
        EXPECT_EQ(game->roundNo, 2);
        EXPECT_EQ(game->throwNo, 1);

        enter(12, { 2, 2, 2, 2, 2 });
        EXPECT_EQ(cellText(1, 12), QStringLiteral("250"));
        EXPECT_EQ(game->currentPlayer, 1);

        // Without five of a kind the filled row 12 is closed again.
        stopAndSettle();
        setDice({ 2, 2, 2, 2, 3 });
        moveOverRow(12);
        EXPECT_EQ(game->imgPfeil->Tag, 0);
    }

    // A bonus turn of a round's last player keeps that player and the round; in
    // round 13 it puts off the end of the game by that turn.
    TEST_F(GameTableTest, TheLastPlayersBonusTurnKeepsTheRoundEvenTheThirteenth)
    {
        QTimer endGuard; // a wrong end of the game would open the high scores modally
        QObject::connect(&endGuard, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != game.get())
                modal->close();
        });
        endGuard.start(10);
        start(2);
        const std::array<std::uint8_t, 5> nothing { 1, 2, 3, 4, 6 };
        enter(1, nothing);
        enter(12, { 5, 5, 5, 5, 5 });
        for (int round = 2; round <= 13; ++round) {
            enter(round, nothing);
            if (round == 2 || round == 13) {
                enter(12, { 3, 3, 3, 3, 3 });
                EXPECT_EQ(game->currentPlayer, 2) << round;
                EXPECT_EQ(game->roundNo, round);
                EXPECT_EQ(game->GameState, TfrmDorvel20Game::kRolling);
            }
            if (round < 13)
                enter(round - 1, nothing);
        }
        EXPECT_EQ(cellText(2, 12), QStringLiteral("250"));
        EXPECT_FALSE(std::filesystem::exists("dorvel.cfg")) << "the game is not over yet";
    }

    TEST_F(GameTableTest, AStruckRowTwelveEarnsNoLaterBonus)
    {
        start(1);
        enter(12, { 1, 2, 3, 4, 6 });
        EXPECT_EQ(cellText(1, 12), QStringLiteral("0"))
            << "row 12 without five of a kind is struck";
        stopAndSettle();
        setDice({ 3, 3, 3, 3, 3 });
        moveOverRow(12);
        EXPECT_TRUE(game->imgPfeil->isHidden());
        clickRow(12);
        EXPECT_EQ(cellText(1, 12), QStringLiteral("0"));
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kSettled);
        moveOverRow(7);
        clickRow(7);
        EXPECT_EQ(cellText(1, 7), QStringLiteral("15"));
    }

    TEST_F(GameTableTest, TheHiddenMarkerKeepsItsHeightAndMarksAtOnce)
    {
        start(2);
        enter(9, { 2, 2, 5, 5, 5 });
        EXPECT_EQ(game->currentPlayer, 2);
        EXPECT_TRUE(game->imgPfeil->isHidden());
        EXPECT_EQ(game->imgPfeil->y(), rowLabel(9)->y());

        stopAndSettle();
        setDice({ 1, 1, 6, 6, 6 });
        sound.clear();
        moveOverRow(9);
        EXPECT_TRUE(game->imgPfeil->isVisible());
        EXPECT_EQ(game->imgPfeil->Tag, 9);
        EXPECT_FALSE(played(kHoverSample)) << "the marker did not move";
        clickRow(9);
        EXPECT_EQ(cellText(2, 9), QStringLiteral("25"));
    }

    TEST_F(GameTableTest, AMarkedRowStaysMarkedThroughAFurtherRoll)
    {
        start(1);
        stopAndSettle();
        moveOverRow(6);
        rollAgain();
        setDice({ 6, 6, 1, 1, 6 });
        clickRow(6);
        EXPECT_EQ(cellText(1, 6), QStringLiteral("18"));
    }

    TEST_F(GameTableTest, RowsAndDiceIgnoreTheMouseWhileRollingAndSettling)
    {
        start(1);
        for (std::uint8_t state : { TfrmDorvel20Game::kRolling, TfrmDorvel20Game::kSettling }) {
            if (state == TfrmDorvel20Game::kSettling)
                QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
            ASSERT_EQ(game->GameState, state);
            moveOverRow(5);
            EXPECT_TRUE(game->imgPfeil->isHidden());
            game->imgPfeil->Tag = 5; // even a marked row takes no click now
            clickRow(5);
            EXPECT_EQ(cellText(1, 5), QString());
            game->imgPfeil->Tag = 0;
            game->holdOrRelease(&game->GLScene1.die(2));
            EXPECT_FALSE(game->held[2]);
            EXPECT_EQ(game->GLScene1.die(2).Position().z, 0.5f);
        }
        for (int tick = 0; tick < 200 && game->GameState != TfrmDorvel20Game::kSettled; ++tick)
            game->AsyncTimer1Timer(&game->AsyncTimer1);
        game->GameState = TfrmDorvel20Game::kTurnStarting;
        game->holdOrRelease(&game->GLScene1.die(2));
        EXPECT_FALSE(game->held[2]);
        moveOverRow(5);
        EXPECT_TRUE(game->imgPfeil->isHidden());
    }

    TEST_F(GameTableTest, TheThirdRollLeavesTheButtonHidden)
    {
        start(1);
        stopAndSettle();
        EXPECT_TRUE(game->btnWuerfeln->isVisible());
        rollAgain();
        EXPECT_EQ(game->throwNo, 2);
        EXPECT_TRUE(game->btnWuerfeln->isVisible());
        QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
        EXPECT_EQ(game->lblWurfNr->text(), QStringLiteral("3"));
        stopAndSettle();
        EXPECT_EQ(game->throwNo, 3);
        EXPECT_TRUE(game->btnWuerfeln->isHidden());
        // Dice can still be held, and a row choice continues.
        game->holdOrRelease(&game->GLScene1.die(1));
        EXPECT_TRUE(game->held[1]);
        moveOverRow(13);
        clickRow(13);
        EXPECT_EQ(game->roundNo, 2);
        EXPECT_TRUE(game->btnWuerfeln->isVisible());
    }

    TEST_F(GameTableTest, HoldingAndReleasingADie)
    {
        start(1);
        stopAndSettle();
        sound.clear();
        dice3d::DieActor &die = game->GLScene1.die(3);
        game->holdOrRelease(&die);
        EXPECT_TRUE(game->held[3]);
        EXPECT_EQ(die.Position().z, -4.0f);
        EXPECT_EQ(die.LibMaterialName(), QStringLiteral("wuerfel2"));
        game->holdOrRelease(&die);
        EXPECT_FALSE(game->held[3]);
        EXPECT_EQ(die.Position().z, 0.5f);
        EXPECT_EQ(die.LibMaterialName(), QStringLiteral("wuerfel"));
        EXPECT_EQ(sound.callsStartingWith("SamplePlay(" + std::to_string(kClickSample)).size(), 2u);

        sound.clear();
        game->holdOrRelease(&game->GLScene1.plane());
        game->holdOrRelease(nullptr);
        EXPECT_TRUE(sound.calls.empty()) << "the slab and empty space do nothing";

        // A held die keeps its value through a roll; a turn start frees every die.
        game->holdOrRelease(&die);
        game->dieValue[3] = 6;
        game->dieValue[4] = 6;
        game->holdOrRelease(&game->GLScene1.die(4));
        rollAgain();
        EXPECT_EQ(game->dieValue[3], 6);
        EXPECT_EQ(game->dieValue[4], 6);
        EXPECT_EQ(die.Position().z, -4.0f);
        moveOverRow(13);
        clickRow(13);
        for (int n = 1; n <= 5; ++n) {
            EXPECT_FALSE(game->held[static_cast<std::size_t>(n)]);
            EXPECT_EQ(game->GLScene1.die(n).Position().z, 0.5f);
            EXPECT_EQ(game->GLScene1.die(n).LibMaterialName(), QStringLiteral("wuerfel"));
        }
    }

    TEST_F(GameTableTest, ADieClickInTheViewGoesThroughPicking)
    {
        // The real resource library, built next to the test, carries the die model.
        resources = std::make_unique<resources::FileResourceLoader>(
            std::filesystem::path(QCoreApplication::applicationDirPath().toStdString())
            / "redizo.dll");
        start(1);
        ASSERT_TRUE(messages.empty());
        ASSERT_NE(game->GLScene1.die(3).mesh(), nullptr);
        stopAndSettle();
        sound.clear();
        // The view reports a press in view pixels; its centre shows die 3.
        Q_EMIT game->GLSceneViewer1->mouseDown(Qt::LeftButton, {}, 75, 212);
        EXPECT_TRUE(game->held[3]);
        EXPECT_EQ(game->GLScene1.die(3).Position().z, -4.0f);
        Q_EMIT game->GLSceneViewer1->mouseDown(Qt::RightButton, {}, 75, 212);
        EXPECT_FALSE(game->held[3]);
        EXPECT_EQ(sound.callsStartingWith("SamplePlay(" + std::to_string(kClickSample)).size(), 2u);

        // The marble in a corner of the view: nothing, and no sound.
        sound.clear();
        Q_EMIT game->GLSceneViewer1->mouseDown(Qt::LeftButton, {}, 4, 4);
        for (int n = 1; n <= 5; ++n)
            EXPECT_FALSE(game->held[static_cast<std::size_t>(n)]);
        EXPECT_TRUE(sound.calls.empty());
    }

    TEST_F(GameTableTest, FourPlayersTakeTurnsAndTheRoundAdvancesAfterTheLast)
    {
        start(4);
        for (int turn = 0; turn < 9; ++turn) {
            const int expectedPlayer = turn % 4 + 1;
            ASSERT_EQ(game->currentPlayer, expectedPlayer);
            ASSERT_EQ(game->roundNo, turn / 4 + 1);
            for (int p = 1; p <= 4; ++p) {
                const QColor colour
                    = game->findChild<QLabel *>(QStringLiteral("lblSpieler%1").arg(p))
                          ->palette()
                          .color(QPalette::WindowText);
                EXPECT_EQ(colour, p == expectedPlayer ? QColor(Qt::yellow) : QColor(Qt::white));
            }
            enter(turn / 4 + 1, { 1, 2, 3, 4, 6 });
        }
        EXPECT_EQ(game->roundNo, 3);
        EXPECT_EQ(game->lblRundeNr->text(), QStringLiteral("3"));
        EXPECT_EQ(cellText(4, 2), QStringLiteral("2"));
        // Every playing column shows its sums after the first entry.
        EXPECT_EQ(sumText(4, 5), QStringLiteral("3"));
    }

    TEST_F(GameTableTest, TheGameSoundsAreLoadedPlayedAndFreedUnderTheirFlags)
    {
        start(4, true, true);
        const std::vector<std::string> loads = sound.callsStartingWith("SampleLoad");
        ASSERT_EQ(loads.size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const int id = 121 + static_cast<int>(i);
            const std::string flags = id == 125 ? "4" : "131072";
            EXPECT_EQ(loads[i],
                "SampleLoad(len=" + std::to_string(id) + ",max=3,flags=" + flags
                    + ")=" + std::to_string(i + 1));
        }
        // Turn start: the player's sound, then the looping roll sound. Stopping
        // ends that and plays the stop sound; a row entry plays the chosen sound.
        EXPECT_LT(sound.indexOf("SamplePlay(1)"), sound.indexOf("SamplePlay(5)"));
        for (int p = 2; p <= 4; ++p) {
            sound.clear();
            enter(13, { 1, 2, 3, 4, 6 });
            const std::vector<std::string> order { "SampleStop(5)", "SamplePlay(6)",
                "SamplePlay(8)", "SamplePlay(" + std::to_string(p) + ")", "SamplePlay(5)" };
            for (std::size_t i = 1; i < order.size(); ++i)
                EXPECT_LT(sound.indexOf(order[i - 1]), sound.indexOf(order[i])) << order[i];
            EXPECT_GE(sound.indexOf(order[0]), 0);
        }

        sound.clear();
        game->close();
        std::vector<std::string> frees = sound.callsStartingWith("SampleFree");
        EXPECT_EQ(frees,
            (std::vector<std::string> { "SampleFree(1)", "SampleFree(2)", "SampleFree(3)",
                "SampleFree(4)", "SampleFree(5)", "SampleFree(6)", "SampleFree(7)",
                "SampleFree(8)" }));
        EXPECT_FALSE(game->AsyncTimer1.Enabled());
    }

    TEST_F(GameTableTest, WithoutSoundEffectsNothingIsLoadedPlayedOrFreed)
    {
        for (const bool available : { true, false }) {
            SCOPED_TRACE(available ? "sound off" : "sound on, but no sound device");
            sound.clear();
            soundAvailable = available;
            start(1, !available, true);
            enter(1, { 1, 1, 1, 1, 2 });
            game->holdOrRelease(&game->GLScene1.die(1));
            game->close();
            EXPECT_EQ(sound.callsStartingWith("Sample"), std::vector<std::string> {});
        }
    }

    TEST_F(GameTableTest, AMissingLibraryIsReportedAtCreationAndAtLoadingTheSounds)
    {
        resources = std::make_unique<resources::MissingResourceLoader>();
        start(1);
        const std::string missing = platform::kLibraryMissing.toStdString();
        EXPECT_EQ(messages, (std::vector<std::string> { missing, missing }));
        EXPECT_TRUE(sound.callsStartingWith("SampleLoad").empty());
        stopAndSettle(); // the game runs on
    }

    TEST_F(GameTableTest, EscapeClosesAtOnceWithoutAHighscoreEntry)
    {
        start(2);
        enter(13, { 6, 6, 6, 6, 5 });
        QTest::keyClick(game.get(), Qt::Key_Return);
        EXPECT_TRUE(game->isVisible()) << "other keys do nothing";
        QTest::keyClick(game.get(), Qt::Key_Escape);
        EXPECT_FALSE(game->isVisible());
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "dorvel.cfg"));
    }

    // Plays a one-player game to its end; the high-score window, when it comes up,
    // is answered with the given button.
    void finishOnePlayerGame(GameTableTest *, TfrmDorvel20Game &game, const QString &button,
        const std::function<void(int)> &enterRow, bool &sawHighscore, bool &musicPlayingWhileShown,
        RecordingSoundLibrary &sound)
    {
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == &game
                || modal->objectName() != QStringLiteral("frmHighscore"))
                return;
            sawHighscore = true;
            musicPlayingWhileShown
                = sound.indexOf("SamplePlay(100)") >= 0 && sound.indexOf("SampleStop(100)") < 0;
            poll.stop();
            modal->findChild<QPushButton *>(button)->click();
        });
        poll.start();
        for (int row = 1; row <= 13; ++row)
            enterRow(row);
    }

    TEST_F(GameTableTest, OnePlayerGameEndsAfterThirteenRoundsAndIsMergedIntoTheList)
    {
        start(1);
        bool sawHighscore = false;
        bool musicWhileShown = false;
        finishOnePlayerGame(
            this, *game, QStringLiteral("btnBeenden"),
            [this](int row) {
                EXPECT_EQ(game->roundNo, row);
                enter(row, { 6, 6, 6, 6, 6 });
            },
            sawHighscore, musicWhileShown, sound);
        EXPECT_TRUE(sawHighscore);
        EXPECT_TRUE(musicWhileShown);
        EXPECT_GE(sound.indexOf("SampleStop(100)"), 0);
        EXPECT_FALSE(game->isVisible()) << "Beenden closes the game table";
        EXPECT_TRUE(game->btnWuerfeln->isHidden());

        storage::ConfigRecord record;
        ASSERT_TRUE(storage::readConfig("dorvel.cfg", record));
        EXPECT_EQ(record.highscores[0].name(), QStringLiteral("Spieler 1"));
        EXPECT_EQ(record.highscores[0].points, game->sums[1][5]);
        EXPECT_GT(game->sums[1][5], 0);
    }

    // The end of a game merges every playing column's grand total under the name
    // in its own header, in player order, into the list the file holds — or into
    // an empty list when there is no file yet.
    TEST_F(GameTableTest, EnterHighscoresMergesEachPlayersTotalUnderTheirOwnName)
    {
        storage::ConfigRecord list;
        for (int k = 1; k <= storage::kHighscoreCount; ++k) {
            list.highscores[k - 1].setName(QStringLiteral("E%1").arg(k));
            list.highscores[k - 1].points = 105 - 5 * k; // 100, 95, ..., 5
        }
        for (const bool stored : { true, false }) {
            SCOPED_TRACE(stored ? "stored list" : "no file");
            std::filesystem::remove("dorvel.cfg");
            ASSERT_TRUE(!stored || storage::writeConfig("dorvel.cfg", list));
            start(3);
            const std::array<std::int32_t, 4> totals { 0, 97, 3, 300 };
            for (std::size_t p = 1; p <= 3; ++p) {
                game->findChild<QLabel *>(QStringLiteral("lblSpieler%1").arg(p))
                    ->setText(QStringList { "", "Anna", "Bert", "Cleo" }[qsizetype(p)]);
                game->sums[p][5] = totals[p];
            }
            game->enterHighscores();
            storage::ConfigRecord after;
            ASSERT_TRUE(storage::readConfig("dorvel.cfg", after));
            QStringList rows;
            for (const storage::HighscoreEntry &entry : after.highscores)
                rows << entry.name() + ":" + QString::number(entry.points);
            EXPECT_EQ(rows.mid(0, 4).join(' ') + " ... " + rows[19],
                stored ? "Cleo:300 E1:100 Anna:97 E2:95 ... E18:15"
                       : "Cleo:300 Anna:97 Bert:3 :0 ... :0");
        }
    }

    TEST_F(GameTableTest, PlayAgainStartsAFreshSheetWithTheSamePlayers)
    {
        start(1, true, false);
        bool sawHighscore = false;
        bool musicWhileShown = false;
        finishOnePlayerGame(
            this, *game, QStringLiteral("btnNochmal"),
            [this](int row) {
                enter(row, { 1, 2, 3, 4, 5 });
            },
            sawHighscore, musicWhileShown, sound);
        EXPECT_TRUE(sawHighscore);
        EXPECT_FALSE(musicWhileShown) << "music is off";
        EXPECT_TRUE(game->isVisible());
        EXPECT_EQ(game->roundNo, 1);
        EXPECT_EQ(game->currentPlayer, 1);
        EXPECT_EQ(game->GameState, TfrmDorvel20Game::kRolling);
        EXPECT_TRUE(game->btnWuerfeln->isVisible());
        for (int r = 1; r <= 13; ++r)
            EXPECT_EQ(cellText(1, r), QString());
        EXPECT_EQ(sumText(1, 5), QString());
        EXPECT_EQ(game->findChild<QLabel *>(QStringLiteral("lblSpieler1"))->text(),
            QStringLiteral("Spieler 1"));
    }

} // namespace
} // namespace dorvel::test
