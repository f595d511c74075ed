// The toolkit's floor (bench_floor), measured as the game is.
#include "Child.h"
#include "Probe.h"
#include "ProcReadings.h"
#include "Watcher.h"

#include <cstdio>
#include <string>
#include <vector>

namespace probe {

void scenarioFloor(const Options &options, Watcher &screen)
{
    std::vector<double> firstFrame, rss, priv;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        Child child(options, false, false);
        const TopWindow *window = nullptr;
        screen.pumpUntil(monotonicNs() + 30 * kSecond, [&] {
            window = screen.find([](const TopWindow &w) { return w.width == 800; });
            return (window && window->firstFrame) || !child.running();
        });
        if (!window || !window->firstFrame) {
            std::fprintf(stderr, "floor run %d: no first frame\n", run);
            continue;
        }
        firstFrame.push_back(ms(window->firstFrame - child.start));
        screen.pump(2 * kSecond); // as long as the game's idle readings wait
        const Memory memory = memoryOf(child.pid());
        rss.push_back(memory.rssMb);
        priv.push_back(memory.privateMb);
        child.stop(nullptr);
    }
    const std::string name = "Floor " + options.label;
    bench::printRunsRow(name + ": start to first frame", firstFrame, "ms", "-", options.label);
    bench::printRunsRow(name + ": memory resident (VmRSS)", rss, "MB", "-", options.label + "mem");
    bench::printRunsRow(name + ": memory private (smaps_rollup)", priv, "MB", "-");
}

} // namespace probe
