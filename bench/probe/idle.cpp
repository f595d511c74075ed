// The idle start screen: CPU by thread, memory, largest mappings.
#include "Child.h"
#include "Probe.h"
#include "ProcReadings.h"
#include "Watcher.h"

#include <cstdio>
#include <string>
#include <vector>

namespace probe {

void scenarioIdle(const Options &options, Watcher &screen)
{
    std::vector<double> cpu, ticks, rss, priv, threads;
    std::string byThread;
    std::string mappings;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, true, options.musicOn);
        const TopWindow *main = waitForStartScreen(screen, child);
        if (!main) {
            std::fprintf(stderr, "idle run %d: no start screen\n", run);
            continue;
        }
        screen.pump(2 * kSecond); // let start-up work (decoding, first playbacks) finish
        const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
        const Memory memory = memoryOf(child.pid());
        cpu.push_back(reading.cpuPercent);
        ticks.push_back(reading.tickPercent);
        rss.push_back(memory.rssMb);
        priv.push_back(memory.privateMb);
        threads.push_back(memory.threads);
        byThread = reading.byThread;
        mappings = topMappings(child.pid(), 10);
        child.stop(&screen);
    }
    const std::string what = std::string("start screen, music ") + (options.musicOn ? "on" : "off")
        + (options.soundDevice ? "" : ", no sound device");
    const bool judged = options.soundDevice;
    bench::printRunsRow("Idle CPU " + std::to_string(options.idleSeconds) + " s: " + what, cpu, "%",
        options.musicOn ? "-" : "<= 0.05");
    bench::printRunsRow("  same, from utime+stime (10 ms ticks)", ticks, "%", "-");
    bench::printRunsRow("Memory resident (VmRSS): " + what, rss, "MB",
        judged && options.musicOn ? "<= 1.1x Bmem" : "-", "Bmem");
    bench::printRunsRow("Memory private (smaps_rollup): " + what, priv, "MB", "-");
    bench::printRunsRow("Threads: " + what, threads, "", "-");
    bench::printNote("Largest mappings, " + what + " (resident/private MB): " + mappings);
    bench::printNote("Idle CPU by thread (" + what
        + ", last run): " + (byThread.empty() ? "none ran" : byThread));
}

} // namespace probe
