#pragma once

// The moves that the stage walk and the picture walk make alike, so that both
// meet the same windows in the same state.

#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "support/Walker.h"

#include <QMouseEvent>
#include <QTest>

namespace dorvel::e2e {

/// A click on the start screen's OK, from the event loop: it opens the names
/// dialog modally.
inline void openNames(test::Walker &walk, app::TfrmDorvel20Main &start)
{
    walk.post(&start, [](app::TfrmDorvel20Main &window) {
        QTest::mouseClick(window.imgOK, Qt::LeftButton, {}, QPoint(35, 35));
    });
}

/// Stops the game table's roll; true on a later tick, once its dice have settled.
inline bool rolledAndSettled(game::TfrmDorvel20Game &game)
{
    if (game.GameState == game::TfrmDorvel20Game::kRolling) {
        QTest::mouseClick(game.btnWuerfeln, Qt::LeftButton);
        return false;
    }
    return game.GameState == game::TfrmDorvel20Game::kSettled;
}

/// Straight to the last turn (one free row left, round 13): the click on a row
/// opens the high-score window.
inline void toLastTurn(test::Walker &walk, game::TfrmDorvel20Game &game)
{
    game.roundNo = 13;
    walk.post(game.findChild<game::TagLabel *>(QStringLiteral("Label13")), [](QWidget &row) {
        // The row takes the click where the pointer has moved over it.
        const QPoint at(10, 10);
        QMouseEvent move(
            QEvent::MouseMove, at, row.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&row, &move);
        QTest::mouseClick(&row, Qt::LeftButton, {}, at);
    });
}

/// Shows the start screen and runs the program until it closes, with the walk
/// on: 0 when it closed well and the walk got through every check.
inline int play(test::Walker &walk, app::TfrmDorvel20Main &start)
{
    QObject::connect(&start, &app::TfrmDorvel20Main::closed, qApp,
        [&start] { QCoreApplication::exit(start.exitCode()); });
    start.show();
    start.activateWindow();
    const int code = QCoreApplication::exec();
    if (!walk.done())
        walk.fail(QStringLiteral("the walk ended early, at the %1").arg(walk.waitingAt()));
    return walk.failed() || code != 0 ? 1 : 0;
}

} // namespace dorvel::e2e
