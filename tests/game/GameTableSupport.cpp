#include "GameTableSupport.h"

#include "game/TagButton.h"
#include "stage/MessageBox.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

namespace dorvel::test {

std::unique_ptr<resources::ResourceLoader> makeSoundLibrary()
{
    std::map<int, std::vector<std::uint8_t>> resources;
    for (int id = 121; id <= 128; ++id)
        resources[id] = std::vector<std::uint8_t>(static_cast<std::size_t>(id), 0x55);
    return std::make_unique<resources::MemoryResourceLoader>(resources);
}

GameTableTest::GameTableTest()
    : resources(makeSoundLibrary())
{
    stage::setMessageHook([this](stage::MessageKind, const QString &, const QString &text) {
        messages.push_back(text.toStdString());
    });
}

GameTableTest::~GameTableTest()
{
    game.reset();
    stage::setMessageHook({});
}

void GameTableTest::start(int players, bool soundOn, bool musicOn, bool manualTicks)
{
    game = std::make_unique<game::TfrmDorvel20Game>(sound, *resources, clock);
    if (manualTicks)
        game->AsyncTimer1.setInterval(0);
    game::GameSetup setup;
    setup.soundAvailable = soundAvailable;
    setup.soundOn = soundOn;
    setup.musicOn = musicOn;
    setup.musicSample = kMusicSample;
    setup.clickSample = kClickSample;
    setup.playerCount = players;
    for (int p = 1; p <= players; ++p)
        setup.names[static_cast<std::size_t>(p - 1)] = QStringLiteral("Spieler %1").arg(p);
    game->startGame(setup);
    game->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(game.get()));
}

void GameTableTest::stopAndSettle()
{
    ASSERT_EQ(game->GameState, game::TfrmDorvel20Game::kRolling);
    ASSERT_TRUE(game->btnWuerfeln->isVisible());
    QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
    ASSERT_EQ(game->GameState, game::TfrmDorvel20Game::kSettling);
    for (int tick = 0; tick < 200 && game->GameState != game::TfrmDorvel20Game::kSettled; ++tick)
        game->AsyncTimer1Timer(&game->AsyncTimer1);
    ASSERT_EQ(game->GameState, game::TfrmDorvel20Game::kSettled);
}

void GameTableTest::rollAgain()
{
    ASSERT_TRUE(game->btnWuerfeln->isVisible());
    QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
    stopAndSettle();
}

void GameTableTest::setDice(std::array<std::uint8_t, 5> values)
{
    for (std::size_t n = 1; n <= 5; ++n)
        game->dieValue[n] = values[n - 1];
}

game::TagLabel *GameTableTest::rowLabel(int row) const
{
    return game->findChild<game::TagLabel *>(QStringLiteral("Label%1").arg(row));
}

void GameTableTest::moveOverRow(int row)
{
    // Moves go through the window, which routes them to the widget under the
    // mouse (synchronously, unlike the widget overload that warps the X pointer).
    // Qt drops a move to where the mouse already is, so come from a point off
    // the sheet, as a player's mouse would.
    game::TagLabel *label = rowLabel(row);
    QWindow *window = game->windowHandle();
    QTest::mouseMove(window, QPoint(8, 590));
    QTest::mouseMove(window, label->geometry().center());
}

void GameTableTest::clickRow(int row)
{
    game::TagLabel *label = rowLabel(row);
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
}

void GameTableTest::enter(int row, std::array<std::uint8_t, 5> values)
{
    stopAndSettle();
    setDice(values);
    moveOverRow(row);
    ASSERT_EQ(game->imgPfeil->Tag, row);
    clickRow(row);
}

QString GameTableTest::cellText(int player, int row) const
{
    return game->findChild<QLabel *>(QStringLiteral("lblSpieler%1_%2").arg(player).arg(row))
        ->text();
}

QString GameTableTest::sumText(int player, int sum) const
{
    return game->findChild<QLabel *>(QStringLiteral("lblSpielerErg%1_%2").arg(player).arg(sum))
        ->text();
}

bool GameTableTest::played(sound::HSAMPLE sample) const
{
    return sound.indexOf("SamplePlay(" + std::to_string(sample) + ")") >= 0;
}

} // namespace dorvel::test
