#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvel::test {

/// Containers and encodings the sound tests write their tones in.
enum class SoundFormat { Wav16, Wav8, WavFloat, Flac, OggVorbis };

/// A sine tone written with libsndfile into memory, the same shape a resource
/// of the resource library has.
std::vector<unsigned char> makeTone(SoundFormat format, double frequency, double seconds,
    int channels = 1, int rate = 44100, double amplitude = 0.5);

/// A sine sweeping from `from` to `to` Hz: no stretch of it repeats another, so
/// a fragment played twice or out of order shows.
std::vector<unsigned char> makeChirp(SoundFormat format, double from, double to, double seconds,
    int channels = 1, int rate = 44100, double amplitude = 0.5);

/// Chooses the OpenAL Soft back-end for this process; call before the first device opens.
void useOpenAlDriver(const char *driver);

} // namespace dorvel::test
