// What the parts of bench_probe share: time units, the command-line options,
// and the scenarios (one file each).
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
    std::string soundDriver = "null"; // OpenAL Soft back-end with a sound device
    int idleSeconds = 10;
    std::string label;
    std::vector<std::string> args;
};

class Watcher;
struct TopWindow;

/// The way into a game as a player clicks it from the start screen: the start
/// picture, then the names dialog's OK. `table` is null when a window did not come.
struct IntoGame
{
    const TopWindow *table = nullptr;
    double namesShown = 0; // ms from the click to the names dialog's first frame
    double gameMapped = 0; // ms from OK to the table mapped
    double gameFrame = 0; // ms from OK to the table's first frame
};
IntoGame openGameTable(Watcher &screen, int run);

/// Start-up to the start screen's first frame (or the information box).
void scenarioStartup(const Options &options, Watcher &screen);
/// The floor program: its first frame and memory, as the game's are measured.
void scenarioFloor(const Options &options, Watcher &screen);
/// CPU and memory of the idle start screen.
void scenarioIdle(const Options &options, Watcher &screen);
/// Into a game as a player clicks, then the settled table's CPU and memory.
void scenarioGame(const Options &options, Watcher &screen);
/// CPU with the music off and on at the start screen, in turns, and while the dice roll.
void scenarioSoundCpu(const Options &options, Watcher &screen);

} // namespace probe
