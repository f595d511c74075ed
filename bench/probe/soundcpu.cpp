// What the sound costs the processor: the start screen with the music off and
// on, started in turns so that both see the same load on the machine, and the
// game table while the dice roll (with their rolling sound). The program plays
// on OpenAL Soft's null device, which mixes in real time as a sound card would,
// or (--sound-driver pulse) on the PulseAudio that bench/run starts for it.
#include "Child.h"
#include "Probe.h"
#include "ProcReadings.h"
#include "Watcher.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace probe {

namespace {

    // CPU over the idle window at the start screen; negative when it did not show.
    double startScreenCpu(
        const Options &options, Watcher &screen, Child &child, std::string *byThread)
    {
        if (!waitForStartScreen(screen, child))
            return -1.0;
        screen.pump(2 * kSecond); // start-up work (the first refills, the idle pause) settles
        const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
        *byThread = reading.byThread;
        return reading.cpuPercent;
    }

    double median(std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

} // namespace

void scenarioSoundCpu(const Options &options, Watcher &screen)
{
    std::vector<double> musicOff, musicOn, rolling;
    std::string musicThreads, rollingThreads;
    for (int run = 0; run < options.runs; ++run) {
        for (const bool music : { false, true }) {
            screen.reset();
            Child child(options, true, music);
            std::string byThread;
            const double cpu = startScreenCpu(options, screen, child, &byThread);
            if (cpu < 0.0) {
                std::fprintf(stderr, "sound-cpu run %d: no start screen\n", run);
                continue;
            }
            (music ? musicOn : musicOff).push_back(cpu);
            if (music)
                musicThreads = byThread;
            if (!music) {
                child.stop(&screen);
                continue;
            }
            // Into a game: the first turn's dice roll until "Stop !!!" is clicked.
            if (openGameTable(screen, run).table) {
                screen.pump(1 * kSecond);
                const IdleReading reading = measureIdle(child.pid(), screen, options.idleSeconds);
                rolling.push_back(reading.cpuPercent);
                rollingThreads = reading.byThread;
            }
            child.stop(&screen, 2);
        }
    }
    const std::string window = std::to_string(options.idleSeconds) + " s ("
        + (options.soundDriver == "pulse" ? "PulseAudio" : "OpenAL " + options.soundDriver) + ")";
    bench::printRunsRow("CPU " + window + ": start screen, music off", musicOff, "%", "-");
    bench::printRunsRow("CPU " + window + ": start screen, music on", musicOn, "%", "<= 1");
    char share[96];
    std::snprintf(share, sizeof share, "The music's share at the start screen: %.2f %% of a core",
        median(musicOn) - median(musicOff));
    bench::printNote(share);
    bench::printNote("CPU by thread (start screen, music on, last run): "
        + (musicThreads.empty() ? "none ran" : musicThreads));
    bench::printRunsRow("CPU " + window + ": game table, dice rolling", rolling, "%", "-");
    bench::printNote("CPU by thread (dice rolling, last run): "
        + (rollingThreads.empty() ? "none ran" : rollingThreads));
}

} // namespace probe
