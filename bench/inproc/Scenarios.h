// The scenarios of bench_inproc, one file each (see bench_inproc.cpp for how
// they are called). Each prints ROW and NOTE lines (BenchStats.h) and returns
// the process's exit code.
#pragma once

namespace inproc {

/// Start-up and the way into a game, in this process; prints T/S/G/GS lines.
int startupOnce(int argc, char **argv);
/// startupOnce in `runs` fresh processes of `self`, as medians.
int startup(const char *self, int runs);

/// Cost of one frame of the 150x425 dice view, drawn off screen.
int frames(int count);
/// Frames of the real dice view on screen: from the update request to the swap.
int screenFrames(int count);
/// The dice view's first frame in this process; prints one F line.
int firstFrame(bool warmUp);
/// firstFrame in `runs` fresh processes of `self`, with and without warm-up.
int firstFrames(const char *self, int runs);

/// The roll animation's tick intervals, with the bare timer as a control.
int ticks(int count);

/// What the sound layer costs while nothing plays.
int soundAtRest(int seconds);
/// The start screen's three sample loads, `runs` times in this process.
int startScreenLoads(int runs);

/// CPU time of a scripted one-player game.
int wholeGame(bool direct);

} // namespace inproc
