// Into a game as a player clicks; then the settled table at rest.
#include "Child.h"
#include "Probe.h"
#include "ProcReadings.h"
#include "Watcher.h"

#include <cstdio>
#include <string>
#include <vector>

namespace probe {

void scenarioGame(const Options &options, Watcher &screen)
{
    std::vector<double> namesShown, gameMapped, gameFrame, rollRss, rollPriv, idleCpu, idleTicks,
        settledRss, settledPriv;
    std::string byThread;
    std::string mappings;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, true, options.musicOn);
        const TopWindow *main = waitForStartScreen(screen, child);
        if (!main) {
            std::fprintf(stderr, "game run %d: no start screen\n", run);
            continue;
        }
        screen.pump(1 * kSecond);

        // The start picture imgOK (576, 309, 70×70) opens the names dialog.
        int before = screen.mapCount() - 1;
        long long clicked = monotonicNs();
        screen.click(576 + 35, 309 + 35);
        const TopWindow *names = nullptr;
        screen.pumpUntil(monotonicNs() + 10 * kSecond, [&] {
            names = screen.find(
                [](const TopWindow &w) { return w.width > 1 && w.width < 800; }, before);
            return names && names->firstFrame;
        });
        if (!names || !names->firstFrame) {
            std::fprintf(stderr, "game run %d: no names dialog\n", run);
            continue;
        }
        namesShown.push_back(ms(names->firstFrame - clicked));
        screen.pump(500 * kMs);

        // OK of the names dialog: SpeedButton1 at (71, 174, 73×22) on Panel1 at (1, 1).
        before = screen.mapCount() - 1;
        const int okX = names->x + 1 + 71 + 36;
        const int okY = names->y + 1 + 174 + 11;
        screen.move(okX, okY);
        screen.pump(100 * kMs);
        clicked = monotonicNs();
        screen.click(okX, okY);
        const TopWindow *table = nullptr;
        screen.pumpUntil(monotonicNs() + 10 * kSecond, [&] {
            table = screen.find([](const TopWindow &w) { return w.width == 800; }, before);
            return table && table->firstFrame;
        });
        if (!table || !table->firstFrame) {
            std::fprintf(stderr, "game run %d: no game table\n", run);
            continue;
        }
        gameMapped.push_back(ms(table->mapped - clicked));
        gameFrame.push_back(ms(table->firstFrame - clicked));

        // The dice roll from the start of the turn; memory while they do.
        screen.pump(1 * kSecond);
        Memory memory = memoryOf(child.pid());
        rollRss.push_back(memory.rssMb);
        rollPriv.push_back(memory.privateMb);

        // "Stop !!!" (btnWuerfeln at 608, 544, 153×33); settling takes at most 1.25 s.
        screen.click(608 + 76, 544 + 16);
        screen.pump(3 * kSecond);
        const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
        idleCpu.push_back(reading.cpuPercent);
        idleTicks.push_back(reading.tickPercent);
        byThread = reading.byThread;
        memory = memoryOf(child.pid());
        settledRss.push_back(memory.rssMb);
        settledPriv.push_back(memory.privateMb);
        mappings = topMappings(child.pid(), 10);
        child.stop(&screen, 2);
    }
    bench::printRunsRow(
        "Names dialog: click on start picture to first frame", namesShown, "ms", "-");
    bench::printRunsRow("Into a game: names OK to game table mapped", gameMapped, "ms", "-");
    bench::printRunsRow("Into a game: names OK to game table first frame", gameFrame, "ms",
        "<= 1.3x B, <= 120", "B");
    bench::printRunsRow(
        "Idle CPU " + std::to_string(options.idleSeconds) + " s: settled game table", idleCpu, "%",
        "<= 0.05");
    bench::printRunsRow("  same, from utime+stime (10 ms ticks)", idleTicks, "%", "-");
    bench::printNote("Largest mappings, settled game (resident/private MB): " + mappings);
    bench::printNote("Idle CPU by thread (settled game table, last run): "
        + (byThread.empty() ? "none ran" : byThread));
    bench::printRunsRow(
        "Memory resident (VmRSS): game, dice rolling", rollRss, "MB", "<= 1.25x Bmem", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): game, dice rolling", rollPriv, "MB", "-");
    bench::printRunsRow(
        "Memory resident (VmRSS): game, settled", settledRss, "MB", "<= 1.25x Bmem", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): game, settled", settledPriv, "MB", "-");
}

} // namespace probe
