// In-process measurements: the program's own libraries driven by a harness.
//
//   bench_inproc startup [--runs N]   start-up and the way into a game, mirroring
//                                     main(), with a breakdown (each run in a
//                                     fresh process of this program)
//   bench_inproc frame [--frames N]   cost of one frame of the 150×425 dice view
//   bench_inproc first-frame [--runs N]  the dice view's first frame in a fresh
//                                     process, with and without a prepared context
//   bench_inproc ticks [--ticks N]    the roll animation's tick intervals
//   bench_inproc sound [--seconds N]  the sound layer at rest
//   bench_inproc sound-loads [--runs N]  the start screen's three sample loads
//   bench_inproc game                 CPU time of a scripted one-player game
//
// Windows are real Qt windows; run it under Xvfb with ALSOFT_DRIVERS=null.
// Each scenario has a file of its own (Scenarios.h lists them); Harness.h holds
// what they share.
#include "BenchStats.h"
#include "Harness.h"
#include "Scenarios.h"

#include "platform/Fonts.h"

#include <QApplication>

#include "dice3d/DiceGLWindow.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

using namespace inproc;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
            "usage: bench_inproc startup|frame|first-frame|screen-frames|ticks|sound|sound-loads|"
            "game [--runs N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    int number = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--runs" || arg == "--frames" || arg == "--ticks" || arg == "--seconds")
            && i + 1 < argc)
            number = std::stoi(argv[i + 1]);
        if (arg == "--whole-frames")
            dice3d::DiceGLWindow::setPartialFramesAllowed(false);
        if (arg == "--label" && i + 1 < argc)
            bench::rowSuffix() = " (" + std::string(argv[i + 1]) + ")";
    }
    std::string self = argv[0];
    if (self.find('/') != std::string::npos && self.front() != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            self = std::string(cwd) + "/" + self;
    }
    struct Scratch
    {
        std::string folder = enterScratchFolder();
        ~Scratch() { leaveScratchFolder(folder); }
    } scratch;
    try {
        if (mode == "startup-once")
            return startupOnce(argc, argv);
        if (mode == "startup")
            return startup(self.c_str(), number > 0 ? number : 5);

        QApplication application(argc, argv);
        platform::registerFonts();
        if (mode == "frame")
            return frames(number > 0 ? number : 1000);
        if (mode == "first-frame-once")
            return firstFrame(argc > 2 && std::string(argv[2]) == "--warm");
        if (mode == "first-frame")
            return firstFrames(self.c_str(), number > 0 ? number : 5);
        if (mode == "screen-frames")
            return screenFrames(number > 0 ? number : 1000);
        if (mode == "sound")
            return soundAtRest(number > 0 ? number : 5);
        if (mode == "sound-loads")
            return startScreenLoads(number > 0 ? number : 5);
        if (mode == "ticks")
            return ticks(number > 0 ? number : 1000);
        if (mode == "game") {
            wholeGame(true);
            return wholeGame(false);
        }
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_inproc: %s\n", error.what());
        return 1;
    }
}
