// What the parts of bench_probe share: time units, the command-line options,
// and the four scenarios (one file each).
#pragma once

#include "BenchStats.h"

#include <string>
#include <vector>

namespace probe {

using bench::monotonicNs;

constexpr long long kMs = 1000000LL;
constexpr long long kSecond = 1000 * kMs;

inline double ms(long long ns)
{
    return static_cast<double>(ns) / 1e6;
}

struct Options
{
    std::string exe;
    std::string scenario;
    int runs = 5;
    bool musicOn = false;
    bool soundDevice = true;
    int idleSeconds = 10;
    std::string label;
    std::vector<std::string> args;
};

class Watcher;

/// Start-up to the start screen's first frame (or the information box).
void scenarioStartup(const Options &options, Watcher &screen);
/// The floor program: its first frame and memory, as the game's are measured.
void scenarioFloor(const Options &options, Watcher &screen);
/// CPU and memory of the idle start screen.
void scenarioIdle(const Options &options, Watcher &screen);
/// Into a game as a player clicks, then the settled table's CPU and memory.
void scenarioGame(const Options &options, Watcher &screen);

} // namespace probe
