// Measures the real program from outside, the way a player meets it: it starts
// bin/dorvel20 as a child process on the current X display and watches the
// display for the program's windows (created, mapped, first drawn), clicks
// where a player would click, and reads the child's CPU time and memory from
// /proc. The program itself is not changed or instrumented in any way.
//
// "First frame" of a window is the first DAMAGE report on that window after it
// was mapped: Qt creates its windows without a server-drawn background, so the
// first damage is the first picture the program itself puts there. The damage
// object is made when the window is created (CreateNotify), long before it is
// mapped, so the first frame cannot slip past unseen.
//
// XTest and DAMAGE are opened at run time (libXtst.so.6, libXdamage.so.1, both
// present wherever Mesa and xdotool are), so no further development packages
// are needed.
//
// Usage: bench_probe --exe PATH --scenario startup|game|idle|floor [--runs N]
//                    [--music on|off] [--no-sound-device] [--idle-seconds S]
//                    [--label TEXT] [--arg ARG]...
//
// The scenario `floor` times bench_floor (the toolkit's floor, see
// bench/floor): its first frame and its resident memory, named by --label
// ("A" or "B"); --arg passes arguments to the program (--gl for floor B).
#include "BenchStats.h"
//
// The scenarios have a file each; Watcher.h watches the display, Child.h runs
// the program, ProcReadings.h reads /proc.
#include "BenchStats.h"
#include "Probe.h"
#include "Watcher.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

using namespace probe;

namespace {

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error("missing value after " + arg);
            return argv[++i];
        };
        if (arg == "--exe")
            options.exe = next();
        else if (arg == "--scenario")
            options.scenario = next();
        else if (arg == "--runs")
            options.runs = std::stoi(next());
        else if (arg == "--music")
            options.musicOn = next() == "on";
        else if (arg == "--no-sound-device")
            options.soundDevice = false;
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::stoi(next());
        else if (arg == "--label")
            options.label = next();
        else if (arg == "--arg")
            options.args.push_back(next());
        else
            throw std::runtime_error("unknown argument " + arg);
    }
    if (options.exe.empty() || options.scenario.empty())
        throw std::runtime_error(
            "usage: bench_probe --exe PATH --scenario startup|game|idle|floor ...");
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const Options options = parse(argc, argv);
        if (!options.label.empty() && options.scenario != "floor")
            bench::rowSuffix() = " (" + options.label + ")";
        Watcher screen;
        if (options.scenario == "startup")
            scenarioStartup(options, screen);
        else if (options.scenario == "idle")
            scenarioIdle(options, screen);
        else if (options.scenario == "game")
            scenarioGame(options, screen);
        else if (options.scenario == "floor")
            scenarioFloor(options, screen);
        else
            throw std::runtime_error("unknown scenario " + options.scenario);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_probe: %s\n", error.what());
        return 1;
    }
    return 0;
}
