#pragma once

#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "support/Walker.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <vector>

namespace dorvel::test {

/**
 * Answers the modal windows of a run as a quick player would: OK in the names
 * dialog, each turn of the game table stopped, settled (by ticking the
 * animation directly) and entered in the first free row, and a button of the
 * high-score window. Each tick of its walker looks at
 * QApplication::activeModalWidget() and posts the answer, so that a step that
 * opens a window modally (the last row opens the high scores) does not stop the
 * driver from answering that window. A run that takes longer than `limit` is
 * ended by closing whatever is open, and timedOut() says so.
 */
class RunDriver
{
public:
    /// After this many row entries in one game table the driver presses Escape
    /// there (0: play every game to its end).
    int escapeAfterTurns = 0;
    /// Answers of the high-score windows in order; "Beenden" once they run out.
    std::vector<bool> playAgain;
    /// Called after each row entry with the game table.
    std::function<void(game::TfrmDorvel20Game &)> afterTurn;
    /// Called with each high-score window before it is answered.
    std::function<void(dialogs::TfrmHighscore &)> onHighscore;

    int turnsEntered = 0;
    int namesDialogs = 0;
    int highscoreWindows = 0;
    int gameTables = 0;

    explicit RunDriver(int limitMs = 60000)
        : m_walker(5)
        , m_limitMs(limitMs)
    {
        m_walker.everyTick([this] {
            if (QWidget *modal = QApplication::activeModalWidget())
                answer(modal);
            return true;
        });
    }

    /// Runs `trigger` (which shows the first modal window) with the driver on.
    void run(const std::function<void()> &trigger)
    {
        m_clock.start();
        m_walker.start();
        trigger();
        m_walker.stop();
    }

    bool timedOut() const { return m_timedOut; }

private:
    void answer(QWidget *modal)
    {
        if (m_clock.elapsed() > m_limitMs) {
            m_timedOut = true;
            m_walker.post(modal, [](QWidget &target) {
                if (auto *highscore = qobject_cast<dialogs::TfrmHighscore *>(&target))
                    highscore->findChild<QPushButton *>(QStringLiteral("btnBeenden"))->click();
                else
                    QTest::keyClick(&target, Qt::Key_Escape);
            });
        } else if (auto *names = qobject_cast<dialogs::TfrmSpieler *>(modal)) {
            if (names == m_lastNames)
                return;
            m_lastNames = names;
            ++namesDialogs;
            m_walker.post(names, [](dialogs::TfrmSpieler &target) {
                QTest::mouseClick(target.SpeedButton1, Qt::LeftButton);
            });
        } else if (auto *highscore = qobject_cast<dialogs::TfrmHighscore *>(modal)) {
            if (highscore == m_lastHighscore)
                return;
            m_lastHighscore = highscore;
            const bool again = static_cast<std::size_t>(highscoreWindows) < playAgain.size()
                && playAgain[static_cast<std::size_t>(highscoreWindows)];
            ++highscoreWindows;
            m_turnsThisTable = 0;
            m_walker.post(highscore, [this, again](dialogs::TfrmHighscore &target) {
                if (onHighscore)
                    onHighscore(target);
                target
                    .findChild<QPushButton *>(
                        again ? QStringLiteral("btnNochmal") : QStringLiteral("btnBeenden"))
                    ->click();
            });
        } else if (auto *table = qobject_cast<game::TfrmDorvel20Game *>(modal)) {
            if (table != m_lastTable) {
                m_lastTable = table;
                m_turnsThisTable = 0;
                ++gameTables;
            }
            m_walker.post(table, [this](game::TfrmDorvel20Game &target) { step(target); });
        }
    }

    // One step of a turn: stop the roll, settle the dice, or enter a row.
    void step(game::TfrmDorvel20Game &table)
    {
        using Game = game::TfrmDorvel20Game;
        if (escapeAfterTurns > 0 && m_turnsThisTable >= escapeAfterTurns) {
            QTest::keyClick(&table, Qt::Key_Escape);
            return;
        }
        if (table.GameState == Game::kRolling && table.btnWuerfeln->isVisible()) {
            table.btnWuerfeln->click();
        } else if (table.GameState == Game::kSettling) {
            for (int tick = 0; tick < 200 && table.GameState != Game::kSettled; ++tick)
                table.AsyncTimer1Timer(&table.AsyncTimer1);
        } else if (table.GameState == Game::kSettled) {
            for (int row = 1; row <= 13; ++row) {
                auto *cell = table.findChild<QLabel *>(
                    QStringLiteral("lblSpieler%1_%2").arg(table.currentPlayer).arg(row));
                if (cell == nullptr || !cell->text().isEmpty())
                    continue;
                auto *hotArea
                    = table.findChild<game::TagLabel *>(QStringLiteral("Label%1").arg(row));
                ++m_turnsThisTable;
                ++turnsEntered;
                table.DorvlKategoMove(hotArea);
                // The last row of the game opens the high scores from in here.
                QPointer<Game> alive(&table);
                table.DorvlKategoDown(hotArea, Qt::LeftButton);
                if (alive && afterTurn)
                    afterTurn(table);
                return;
            }
        }
    }

    Walker m_walker;
    QElapsedTimer m_clock;
    int m_limitMs;
    bool m_timedOut = false;
    int m_turnsThisTable = 0;
    QPointer<QWidget> m_lastNames;
    QPointer<QWidget> m_lastHighscore;
    QPointer<QWidget> m_lastTable;
};

} // namespace dorvel::test
