// A whole scripted game of one player.
#include "Harness.h"
#include "Scenarios.h"
#include "TimedSoundLibrary.h"

#include "dice3d/DiceView.h"
#include "game/ScoringRules.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <stdexcept>
#include <string>

namespace inproc {

/// Plays one game of one player: each turn one roll (50 ticks), stop, settle,
/// then the free row that scores most. Ticks come from the real timer, or
/// `direct`ly by calling the tick handler and then running the event loop until
/// the view has drawn the frame that tick asked for (no waiting for the 10 ms).
int wholeGame(bool direct)
{
    bench::TimedSoundLibrary sound(sound::createOpenAlSoundLibrary());
    const bool withSound = sound.BASS_Init(-1, 44100, 0, nullptr) != 0;
    sound.BASS_Start();
    SteppingClock clock;

    const long long cpu0 = bench::processCpuNs();
    const long long wall0 = monotonicNs();
    long long cpuAtHighscore = 0;
    long long wallAtHighscore = 0;
    int ticksRun = 0;
    int turns = 0;

    auto table
        = std::make_unique<game::TfrmDorvel20Game>(sound, resources::systemResourceLoader(), clock);
    table->soundAvailable = withSound;
    table->soundOn = withSound;
    table->playerCount = 1;
    table->loadGameSounds();
    table->clearScoreSheet();
    table->show();

    auto original = table->AsyncTimer1.OnTimer;
    int rollingTicks = 0;
    table->AsyncTimer1.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        ++ticksRun;
        ++rollingTicks;
        original(sender);
    };
    if (direct)
        table->AsyncTimer1.OnTimer = nullptr; // the real timer's ticks do nothing
    // Wakes the event loop now and then, so that waiting for a frame that never
    // comes (a tick that changed nothing) ends.
    QTimer wakeUp;
    if (direct)
        wakeUp.start(20);

    auto tick = [&] {
        if (direct) {
            ++ticksRun;
            const int before = table->GLSceneViewer1->framesDrawn();
            table->AsyncTimer1Timer(&table->AsyncTimer1);
            // Then the frame the tick asked for, as in the game: one per tick.
            QDeadlineTimer patience(200);
            while (table->GLSceneViewer1->framesDrawn() == before && !patience.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };

    // The high-score window: note when it is up and painted, then leave.
    FirstEventStamp stamps;
    qApp->installEventFilter(&stamps);
    stamps.onFirst = [&](QObject *watched, QEvent *event) {
        if (watched->objectName() == QLatin1String("frmHighscore")
            && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [&] {
                cpuAtHighscore = bench::processCpuNs();
                wallAtHighscore = monotonicNs();
                if (auto *highscore = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    if (auto *leave
                        = highscore->findChild<QPushButton *>(QStringLiteral("btnBeenden")))
                        leave->click();
                    else
                        highscore->reject();
                }
            });
        }
    };

    table->nextTurn();
    while (table->isVisible() && turns < 20) {
        ++turns;
        rollingTicks = 0;
        if (direct) {
            for (int i = 0; i < 50; ++i)
                tick();
        } else {
            while (rollingTicks < 50)
                tick();
        }
        table->btnWuerfelnClick(); // "Stop !!!"
        while (table->GameState != game::TfrmDorvel20Game::kSettled)
            tick();
        // The free row that scores most for these dice.
        int bestRow = 0;
        int bestScore = -1;
        for (int r = 1; r <= 13; ++r) {
            if (table->scores[1][static_cast<std::size_t>(r)] != 0)
                continue;
            const auto *cell = table->findChild<QLabel *>(QStringLiteral("lblSpieler1_%1").arg(r));
            if (cell && !cell->text().isEmpty())
                continue;
            const int score = game::scoreRow(table->dice(), r);
            if (score > bestScore) {
                bestScore = score;
                bestRow = r;
            }
        }
        auto *row = table->findChild<game::TagLabel *>(QStringLiteral("Label%1").arg(bestRow));
        if (!row)
            throw std::runtime_error("row label not found");
        table->DorvlKategoMove(row);
        table->DorvlKategoDown(row, Qt::LeftButton); // the last one opens the high-score window
        QCoreApplication::processEvents();
    }
    const int frames = table->GLSceneViewer1 ? table->GLSceneViewer1->framesDrawn() : 0;
    const int total = table->sums[1][5];
    table.reset();
    if (!cpuAtHighscore)
        throw std::runtime_error("the high-score window was not reached");

    const std::string how = direct ? "tick handler called directly" : "real 10 ms timer";
    bench::printValueRow("Whole game CPU (" + how + ")", ms(cpuAtHighscore - cpu0), "ms", "-");
    bench::printValueRow("  wall time", ms(wallAtHighscore - wall0), "ms", "-");
    bench::printNote("Whole game (" + how + "): " + std::to_string(turns) + " turns, "
        + std::to_string(ticksRun) + " ticks, " + std::to_string(frames)
        + " dice frames, grand total " + std::to_string(total) + " points");
    return 0;
}

} // namespace inproc
