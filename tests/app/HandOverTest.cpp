// Starting a game from the start screen: the names dialog, the hand-over of
// switches, samples, names and player count to the game table, and the music
// on return — with the real resource library and a recording sound library.
#include "AppTestSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "dialogs/TfrmSpieler.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "platform/MessageTexts.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace dorvel;

namespace {

// Answers with the real library the first time and never again: the names
// dialog then finds it missing.
class VanishingLoader final : public resources::ResourceLoader
{
public:
    const resources::ResourceModule *loadLibrary(std::string_view name) override
    {
        return m_calls++ == 0 ? m_inner.loadLibrary(name) : nullptr;
    }

private:
    resources::MemoryResourceLoader m_inner = test::smallLibrary();
    int m_calls = 0;
};

struct HandOver : test::StartScreenStandIns
{
};

TEST_F(HandOver, OkCreatesTablePreparedInOrderAndMusicReturnsAfterwards)
{
    test::writeBytes(storage::kConfigFileName, test::settingsBytes(1, 1));
    app::TfrmDorvel20Main window(sound, resources::systemResourceLoader(), clock, display);
    ASSERT_FALSE(window.startFailed());
    window.show();
    window.imgSpielerClick(); // two players
    sound.clear();

    QString names[5];
    int tablePlayers = 0;
    int tablePlayer = 0;
    int tableRound = 0;
    std::uint8_t tableState = 0;
    bool tableFlags = false;
    std::size_t callsWhenShown = 0;
    test::withModals(
        { [](QWidget *modal) {
             auto *dialog = qobject_cast<dialogs::TfrmSpieler *>(modal);
             ASSERT_NE(dialog, nullptr);
             EXPECT_EQ(dialog->playerCount, 2);
             QTest::keyClicks(dialog->efdSpieler[0], QStringLiteral("Anna"));
             QTest::mouseClick(dialog->SpeedButton1, Qt::LeftButton);
         },
            [&](QWidget *modal) {
                auto *table = qobject_cast<game::TfrmDorvel20Game *>(modal);
                ASSERT_NE(table, nullptr);
                for (int n = 1; n <= 4; ++n)
                    names[n]
                        = table->findChild<QLabel *>(QStringLiteral("lblSpieler%1").arg(n))->text();
                tablePlayers = table->playerCount;
                tablePlayer = table->currentPlayer;
                tableRound = table->roundNo;
                tableState = table->GameState;
                tableFlags = table->soundAvailable && table->soundOn && table->musicOn
                    && table->musicSample == window.musicSample
                    && table->clickSample == window.clickSample;
                callsWhenShown = sound.calls.size();
                QTest::keyClick(table, Qt::Key_Escape);
            } },
        [&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });

    EXPECT_EQ(names[1], QStringLiteral("Anna"));
    EXPECT_EQ(names[2], QStringLiteral("Spieler 2"));
    EXPECT_EQ(names[3], QString());
    EXPECT_EQ(names[4], QString());
    EXPECT_EQ(tablePlayers, 2);
    EXPECT_TRUE(tableFlags);
    // nextTurn ran last: the first player's turn of round 1 is rolling.
    EXPECT_EQ(tablePlayer, 1);
    EXPECT_EQ(tableRound, 1);
    EXPECT_EQ(tableState, game::TfrmDorvel20Game::kRolling);

    // Music stopped, confirm sound, the table's eight samples loaded before its
    // first turn plays anything, music again after the table has gone.
    ASSERT_GE(sound.calls.size(), 11u);
    EXPECT_EQ(sound.calls[0], "SampleStop(1)");
    EXPECT_EQ(sound.calls[1], "SamplePlay(3)");
    const auto loads = sound.callsStartingWith("SampleLoad");
    ASSERT_EQ(loads.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(sound.calls[2 + i].rfind("SampleLoad", 0), 0u) << sound.calls[2 + i];
    EXPECT_GT(callsWhenShown, 10u);
    EXPECT_EQ(sound.calls.back(), "SamplePlay(1)");
    EXPECT_TRUE(boxes.messages.empty());
    window.close();
}

TEST_F(HandOver, EscapeInNamesDialogCreatesNoGameAndResumesMusic)
{
    test::writeBytes(storage::kConfigFileName, test::settingsBytes(0, 1));
    app::TfrmDorvel20Main window(sound, resources::systemResourceLoader(), clock, display);
    window.show();
    sound.clear();
    test::withModals({ [](QWidget *modal) {
        auto *dialog = qobject_cast<dialogs::TfrmSpieler *>(modal);
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->efdSpieler[0], QStringLiteral("Bo"));
        QTest::keyClick(dialog->efdSpieler[0], Qt::Key_Escape);
    } },
        [&] { window.imgOKClick(); });
    EXPECT_EQ(sound.calls, (std::vector<std::string> { "SampleStop(1)", "SamplePlay(1)" }));
    EXPECT_TRUE(QApplication::topLevelWidgets().contains(&window));
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<game::TfrmDorvel20Game *>(w), nullptr);
    window.close();
}

TEST_F(HandOver, NamesDialogWithoutLibraryEndsProgramWithNonZeroCode)
{
    VanishingLoader loader;
    app::TfrmDorvel20Main window(sound, loader, clock, display);
    ASSERT_FALSE(window.startFailed());
    window.show();
    QSignalSpy closed(&window, &app::TfrmDorvel20Main::closed);
    window.imgOKClick();
    EXPECT_FALSE(std::filesystem::exists(storage::kConfigFileName)) << "nothing stored";
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, platform::libraryMissingEndingText());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(window.exitCode(), app::kExitFatal);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(sound.indexOf("Free") + 1, static_cast<int>(sound.calls.size()));
}

} // namespace
