// Final touches every sound gets before it is encoded (DC removal, edge fades,
// loudness), the measurements printed at build time, and the checks that make
// the build fail when a sound would click, clip or carry an offset.
#pragma once

#include "Sound.h"

#include <string>
#include <vector>

namespace dorvel::gensounds {

// The loudest a sound may reach between samples after decoding.
constexpr double kTruePeakLimitDb = -1.0;
// Mastering aims lower, leaving room for the lossy codec's ripple.
constexpr double kMasteringCeilingDb = -2.0;
constexpr double kDcLimit = 0.001;

struct Measurement
{
    double seconds = 0;
    double peakDb = 0; // largest sample
    double truePeakDb = 0; // largest value between samples (4x oversampled)
    double rmsDb = 0;
    double dc = 0; // largest per-channel mean, full scale = 1
    double seamJump = 0; // looping only: step from the last frame to the first
    double seamLimit = 0; // looping only: the largest step that still counts as smooth
};

// Removes DC, fades one-shots in and out and sets the level: the target RMS
// unless that would push the true peak over the mastering ceiling.
void master(Sound &sound);

Measurement measure(const Sound &sound);

// Empty when the sound is fit to ship; otherwise one line per fault.
std::vector<std::string> problems(const Sound &sound, const Measurement &m);

} // namespace dorvel::gensounds
