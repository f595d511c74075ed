// Shows the game table in the middle of a three-player game (a filled sheet, the
// dice at rest with one held, the row marker on a free row), for the screenshot
// script tools/screenshots/game-table.sh. Prints "ready" once the table is up and
// quits after --close-after milliseconds (default 20000).
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "platform/Fonts.h"
#include "resources/ResourceLibrary.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

using dorvel::game::TagLabel;
using dorvel::game::TfrmDorvel20Game;

// Stops the running roll; the dice come to rest showing `dice` (held dice keep theirs).
void stopShowing(TfrmDorvel20Game &game, std::array<std::uint8_t, 5> dice)
{
    game.btnWuerfelnClick();
    for (std::size_t n = 1; n <= 5; ++n) {
        if (!game.held[n])
            game.dieValue[n] = dice[n - 1];
    }
    while (game.GameState != TfrmDorvel20Game::kSettled)
        game.AsyncTimer1Timer(&game.AsyncTimer1);
}

TagLabel *rowLabel(TfrmDorvel20Game &game, int row)
{
    return game.findChild<TagLabel *>(QStringLiteral("Label%1").arg(row));
}

// One turn: the dice come to rest showing `dice`, and the row is chosen.
void play(TfrmDorvel20Game &game, int row, std::array<std::uint8_t, 5> dice)
{
    stopShowing(game, dice);
    game.DorvlKategoMove(rowLabel(game, row));
    game.DorvlKategoDown(rowLabel(game, row), Qt::LeftButton);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    dorvel::platform::registerFonts();
    int closeAfter = 20000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--close-after") == 0)
            closeAfter = std::atoi(argv[i + 1]);
    }

    dorvel::test::RecordingSoundLibrary sound;
    dorvel::test::FixedClock clock;
    TfrmDorvel20Game game(sound, dorvel::resources::systemResourceLoader(), clock);
    game.AsyncTimer1.setInterval(0); // the ticks are driven here
    game.startGame({ .playerCount = 3,
        .names = { QStringLiteral("Alrik"), QStringLiteral("Brunhild"), QStringLiteral("Corvin"),
            QString() } });

    // Rounds 1..7 for three players, with a five of a kind and its bonus turn.
    const std::array<std::array<int, 3>, 7> rows { { { 1, 6, 12 }, { 2, 5, 13 }, { 3, 4, 9 },
        { 4, 3, 7 }, { 5, 2, 10 }, { 6, 1, 11 }, { 12, 9, 1 } } };
    const std::array<std::array<std::uint8_t, 5>, 13> diceFor { {
        { 1, 1, 1, 3, 5 },
        { 2, 2, 2, 2, 6 },
        { 3, 3, 3, 4, 1 },
        { 4, 4, 4, 2, 5 },
        { 5, 5, 5, 5, 2 },
        { 6, 6, 6, 1, 3 },
        { 3, 3, 4, 4, 4 },
        { 6, 6, 6, 6, 1 },
        { 2, 2, 5, 5, 5 },
        { 1, 2, 3, 4, 6 },
        { 2, 3, 4, 5, 6 },
        { 6, 6, 6, 6, 6 },
        { 5, 6, 4, 5, 6 },
    } };
    for (const auto &round : rows) {
        for (int row : round)
            play(game, row, diceFor[static_cast<std::size_t>(row - 1)]);
    }
    // A further five of a kind for player 1: 150 and an extra turn.
    play(game, 12, { 3, 3, 3, 3, 3 });

    // The extra turn: die 3 held after the first roll, the second roll at rest,
    // row 8 marked.
    stopShowing(game, { 5, 2, 6, 6, 3 });
    game.holdOrRelease(&game.GLScene1.die(3));
    game.holdOrRelease(&game.GLScene1.die(4));
    game.btnWuerfelnClick();
    stopShowing(game, { 6, 1, 6, 6, 6 });
    game.DorvlKategoMove(rowLabel(game, 8));

    game.show();
    QTimer::singleShot(300, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QTimer::singleShot(closeAfter, &app, &QApplication::quit);
    return app.exec();
}
