// The roll animation's tick intervals while the dice roll.
#include "Harness.h"
#include "Scenarios.h"
#include "TimedSoundLibrary.h"

#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceView.h"
#include "game/TfrmDorvel20Game.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QEventLoop>
#include <QTimer>

#include <stdexcept>
#include <string>
#include <vector>

namespace inproc {

int ticks(int count)
{
    bench::TimedSoundLibrary sound(sound::createOpenAlSoundLibrary());
    const bool withSound = sound.BASS_Init(-1, 44100, 0, nullptr) != 0;
    sound.BASS_Start();
    SteppingClock clock;
    game::TfrmDorvel20Game table(sound, resources::systemResourceLoader(), clock);
    table.soundAvailable = withSound;
    table.soundOn = withSound;
    table.playerCount = 1;
    table.loadGameSounds();
    table.clearScoreSheet();
    table.show();

    std::vector<long long> at;
    std::vector<double> handler;
    at.reserve(static_cast<std::size_t>(count) + 1);
    int framesAtStart = 0;
    QEventLoop loop;
    auto original = table.AsyncTimer1.OnTimer;
    table.AsyncTimer1.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        const long long now = monotonicNs();
        if (at.empty())
            framesAtStart = table.GLSceneViewer1->framesDrawn();
        at.push_back(now);
        original(sender);
        handler.push_back(ms(monotonicNs() - now));
        if (static_cast<int>(at.size()) > count) {
            sender->setEnabled(false);
            loop.quit();
        }
    };
    const long long cpu0 = bench::processCpuNs();
    QTimer::singleShot(300, [&] { table.nextTurn(); }); // the turn starts rolling at once
    QTimer::singleShot(count * 10 + 30000, &loop, &QEventLoop::quit);
    loop.exec();
    const long long cpu1 = bench::processCpuNs();
    const int frames = table.GLSceneViewer1->framesDrawn() - framesAtStart;
    table.AsyncTimer1.setEnabled(false);
    table.close();

    if (at.size() < 2)
        throw std::runtime_error("no ticks");
    std::vector<double> intervals;
    for (std::size_t i = 1; i < at.size(); ++i)
        intervals.push_back(ms(at[i] - at[i - 1]));
    const double span = ms(at.back() - at.front());
    const double nominal = 10.0 * static_cast<double>(intervals.size());
    bench::printRow("Tick interval while rolling", bench::quantile(intervals, 0.5),
        bench::quantile(intervals, 0.5), bench::quantile(intervals, 0.99), "ms", "p50/p99",
        intervals.size(), "10 +-0.2 / p99 <= 12");
    bench::printValueRow("  largest tick interval", bench::maximum(intervals), "ms", "-");
    bench::printValueRow("  drift over " + std::to_string(intervals.size()) + " ticks",
        100.0 * (span - nominal) / nominal, "%", "<= 0.5");
    bench::printRow("  tick handler run time", bench::quantile(handler, 0.5),
        bench::quantile(handler, 0.5), bench::quantile(handler, 0.99), "ms", "p50/p99",
        handler.size(), "-");
    bench::printValueRow("  dice frames drawn per tick",
        static_cast<double>(frames) / static_cast<double>(intervals.size()), "", "1");
    if (auto *window = qobject_cast<dice3d::DiceGLWindow *>(table.GLSceneViewer1->glWindow()))
        bench::printValueRow("  dice frames drawn only where the dice moved",
            100.0 * window->partialFrames() / std::max(window->framesDrawn(), 1), "%", "-");
    bench::printValueRow("  CPU while rolling (whole process)",
        100.0 * static_cast<double>(cpu1 - cpu0) / 1e6 / (span + 300.0), "%", "-");

    // Control: the same timer with an empty handler and no view, so the timer's
    // own accuracy shows apart from the drawing.
    dice3d::TAsyncTimer bare;
    bare.setInterval(10);
    std::vector<long long> bareAt;
    QEventLoop bareLoop;
    bare.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        bareAt.push_back(monotonicNs());
        if (static_cast<int>(bareAt.size()) > count) {
            sender->setEnabled(false);
            bareLoop.quit();
        }
    };
    bare.setEnabled(true);
    QTimer::singleShot(count * 10 + 30000, &bareLoop, &QEventLoop::quit);
    bareLoop.exec();
    std::vector<double> bareIntervals;
    for (std::size_t i = 1; i < bareAt.size(); ++i)
        bareIntervals.push_back(ms(bareAt[i] - bareAt[i - 1]));
    if (!bareIntervals.empty()) {
        const double bareNominal = 10.0 * static_cast<double>(bareIntervals.size());
        bench::printRow("  control: timer alone, no drawing", bench::quantile(bareIntervals, 0.5),
            bench::quantile(bareIntervals, 0.5), bench::quantile(bareIntervals, 0.99), "ms",
            "p50/p99", bareIntervals.size(), "-");
        bench::printValueRow(
            "  control: largest interval", bench::maximum(bareIntervals), "ms", "-");
        bench::printValueRow("  control: drift",
            100.0 * (ms(bareAt.back() - bareAt.front()) - bareNominal) / bareNominal, "%", "-");
    }
    return 0;
}

} // namespace inproc
