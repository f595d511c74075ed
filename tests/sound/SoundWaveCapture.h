#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace dorvel::test {

/// The output mix as OpenAL Soft's wave-file back-end wrote it.
struct Capture
{
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, -1..1

    std::size_t frames() const;
    std::size_t frameAt(double seconds) const;
    /// The first channel alone.
    std::vector<float> firstChannel() const;
    /// Root mean square of the first channel over [from, to) seconds.
    double rms(double from, double to) const;
};

/// Reads a finished capture; rate 0 when there is none.
Capture readCapture(const std::string &path);

/// Points OpenAL Soft at its wave back-end (16-bit stereo) and answers the file
/// it writes. OpenAL Soft reads its configuration at the first device of the
/// process, so every test of a process shares one; each device writes the file
/// anew, and closing the device finishes it. After the device's idle pause the
/// writer writes nothing more: capture within one unpaused stretch.
std::string useWaveCapture();

/// Normalised correlation of two stretches of `count` values: 1 when one is the
/// other scaled, near 0 for unrelated sound. 0 when either is silent.
double correlation(const float *a, const float *b, std::size_t count);

/// Where `reference[0, count)` starts in `signal`, searched from `from` to `to`
/// (frame indices of `signal`): the offset of highest correlation.
std::size_t align(const std::vector<float> &signal, const std::vector<float> &reference,
    std::size_t count, std::size_t from, std::size_t to);

/// What the output should hold `frame` frames after a playback started.
using Expected = std::function<float(std::size_t frame)>;

/// Correlations of `signal` from `start` on with what is expected, window by
/// window, over `frames` frames (whole windows only).
std::vector<double> windowCorrelations(const std::vector<float> &signal, std::size_t start,
    const Expected &expected, std::size_t frames, std::size_t window);

} // namespace dorvel::test
