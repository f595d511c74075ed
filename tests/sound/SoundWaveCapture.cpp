#include "SoundWaveCapture.h"

#include "SoundTestData.h"

#include <QTemporaryDir>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace dorvel::test {

std::size_t Capture::frames() const
{
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
}

std::size_t Capture::frameAt(double seconds) const
{
    return std::min(frames(), static_cast<std::size_t>(std::max(0.0, seconds) * rate));
}

std::vector<float> Capture::firstChannel() const
{
    std::vector<float> mono(frames());
    for (std::size_t f = 0; f < mono.size(); ++f)
        mono[f] = samples[f * static_cast<std::size_t>(channels)];
    return mono;
}

double Capture::rms(double from, double to) const
{
    const std::size_t a = frameAt(from), b = frameAt(to);
    double sum = 0.0;
    for (std::size_t f = a; f < b; ++f) {
        const double v = samples[f * static_cast<std::size_t>(channels)];
        sum += v * v;
    }
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

Capture readCapture(const std::string &path)
{
    Capture capture;
    SF_INFO info {};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return capture;
    capture.rate = info.samplerate;
    capture.channels = info.channels;
    capture.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, capture.samples.data(), info.frames);
    sf_close(file);
    return capture;
}

std::string useWaveCapture()
{
    static const QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    static const std::string conf = dir.filePath("alsoft.conf").toStdString();
    static const std::string out = dir.filePath("mix.wav").toStdString();
    std::ofstream file(conf);
    file << "[general]\ndrivers = wave\nsample-type = int16\nchannels = stereo\n"
         << "[wave]\nfile = " << out << "\n";
    // The suite's silent back-end would win over the configuration file.
    useOpenAlDriver(nullptr);
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    return out;
}

double correlation(const float *a, const float *b, std::size_t count)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        ab += static_cast<double>(a[i]) * b[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

std::size_t align(const std::vector<float> &signal, const std::vector<float> &reference,
    std::size_t count, std::size_t from, std::size_t to)
{
    count = std::min(count, reference.size());
    to = std::min(to, signal.size() >= count ? signal.size() - count : 0);
    std::size_t best = from;
    double bestScore = -2.0;
    for (std::size_t at = from; at < to; ++at) {
        const double score = correlation(signal.data() + at, reference.data(), count);
        if (score > bestScore) {
            bestScore = score;
            best = at;
        }
    }
    return best;
}

std::vector<double> windowCorrelations(const std::vector<float> &signal, std::size_t start,
    const Expected &expected, std::size_t frames, std::size_t window)
{
    std::vector<double> result;
    std::vector<float> want(window);
    for (std::size_t at = 0; at + window <= frames && start + at + window <= signal.size();
         at += window) {
        for (std::size_t i = 0; i < window; ++i)
            want[i] = expected(at + i);
        result.push_back(correlation(signal.data() + start + at, want.data(), window));
    }
    return result;
}

} // namespace dorvel::test
