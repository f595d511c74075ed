// One finished sound of the game: its resource ID, its samples and the limits
// it must keep.
#pragma once

#include "Dsp.h"

#include <string>
#include <vector>

namespace dorvel::gensounds {

struct Sound
{
    int id = 0;
    std::string name; // short file-friendly name
    std::string description; // what a player hears
    int channels = 1;
    bool looping = false;
    double maxSeconds = 1.0; // a one-shot must stay below this
    double targetRmsDb = -20; // loudness the mastering aims at
    Samples samples; // interleaved, full scale = 1.0

    std::size_t frameCount() const { return samples.size() / static_cast<std::size_t>(channels); }
    double seconds() const { return static_cast<double>(frameCount()) / kSampleRate; }
};

// The sound effects (every ID but the music), in ID order.
std::vector<Sound> designEffects();
// The looping music piece.
Sound composeMusic();

} // namespace dorvel::gensounds
