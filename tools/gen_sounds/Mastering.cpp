#include "Mastering.h"

#include <algorithm>
#include <cstdio>

namespace dorvel::gensounds {

namespace {

    constexpr int kOversampling = 4;
    constexpr int kHalfTaps = 16;

    double toDb(double value)
    {
        return 20.0 * std::log10(std::max(value, 1e-12));
    }

    double sampleAt(const Sound &sound, std::ptrdiff_t frame, int channel)
    {
        const auto total = static_cast<std::ptrdiff_t>(sound.frameCount());
        if (sound.looping) {
            frame %= total;
            if (frame < 0)
                frame += total;
        } else if (frame < 0 || frame >= total) {
            return 0.0;
        }
        return sound
            .samples[static_cast<std::size_t>(frame) * static_cast<std::size_t>(sound.channels)
                + static_cast<std::size_t>(channel)];
    }

    // Largest absolute value of the band-limited signal, found by evaluating a
    // Hann-windowed sinc between the samples. A looping sound is treated as
    // periodic, so a peak across the seam is caught too.
    double truePeak(const Sound &sound)
    {
        std::vector<std::vector<double>> kernels;
        for (int phase = 1; phase < kOversampling; ++phase) {
            const double offset = static_cast<double>(phase) / kOversampling;
            std::vector<double> taps;
            for (int k = -kHalfTaps + 1; k <= kHalfTaps; ++k) {
                const double t = offset - k;
                const double sinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
                const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * t / kHalfTaps);
                taps.push_back(sinc * window);
            }
            kernels.push_back(taps);
        }
        double peak = 0.0;
        const auto total = static_cast<std::ptrdiff_t>(sound.frameCount());
        const auto channels = static_cast<std::ptrdiff_t>(sound.channels);
        for (int c = 0; c < sound.channels; ++c) {
            for (std::ptrdiff_t n = -1; n < total; ++n) {
                const double here = sampleAt(sound, n, c);
                peak = std::max(peak, std::abs(here));
                // Only the frames near the ends need the wrapping look-up.
                const bool inside = n - kHalfTaps >= 0 && n + kHalfTaps < total;
                const double *base = inside ? sound.samples.data() + n * channels + c : nullptr;
                for (const auto &taps : kernels) {
                    double v = 0.0;
                    for (int k = -kHalfTaps + 1; k <= kHalfTaps; ++k) {
                        const double x = base ? base[k * channels] : sampleAt(sound, n + k, c);
                        v += taps[static_cast<std::size_t>(k + kHalfTaps - 1)] * x;
                    }
                    peak = std::max(peak, std::abs(v));
                }
            }
        }
        return peak;
    }

    double rms(const Sound &sound)
    {
        double sum = 0.0;
        for (double s : sound.samples)
            sum += s * s;
        return std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, sound.samples.size())));
    }

    std::vector<double> channelMeans(const Sound &sound)
    {
        std::vector<double> means(static_cast<std::size_t>(sound.channels), 0.0);
        for (std::size_t i = 0; i < sound.samples.size(); ++i)
            means[i % static_cast<std::size_t>(sound.channels)] += sound.samples[i];
        for (double &m : means)
            m /= static_cast<double>(std::max<std::size_t>(1, sound.frameCount()));
        return means;
    }

} // namespace

void master(Sound &sound)
{
    const auto channels = static_cast<std::size_t>(sound.channels);
    const std::size_t count = sound.frameCount();

    for (std::size_t c = 0; c < channels; ++c) {
        Samples channel(count);
        for (std::size_t i = 0; i < count; ++i)
            channel[i] = sound.samples[i * channels + c];
        if (!sound.looping) {
            // A one-shot's own low end below 25 Hz is only offset and rumble.
            Biquad hp = Biquad::highPass(25.0, 0.7071);
            hp.run(channel);
        }
        double mean = 0.0;
        for (double s : channel)
            mean += s;
        mean /= static_cast<double>(count);
        for (double &s : channel)
            s -= mean;
        if (!sound.looping)
            fadeEnds(channel, 1.0, 8.0);
        for (std::size_t i = 0; i < count; ++i)
            sound.samples[i * channels + c] = channel[i];
    }

    const double level = rms(sound);
    const double peak = truePeak(sound);
    if (level <= 0.0 || peak <= 0.0)
        return;
    const double gain
        = std::min(dbToGain(sound.targetRmsDb) / level, dbToGain(kMasteringCeilingDb) / peak);
    for (double &s : sound.samples)
        s *= gain;
}

Measurement measure(const Sound &sound)
{
    Measurement m;
    m.seconds = sound.seconds();
    double peak = 0.0;
    for (double s : sound.samples)
        peak = std::max(peak, std::abs(s));
    m.peakDb = toDb(peak);
    m.truePeakDb = toDb(truePeak(sound));
    m.rmsDb = toDb(rms(sound));
    for (double mean : channelMeans(sound))
        m.dc = std::max(m.dc, std::abs(mean));

    if (sound.looping && sound.frameCount() > 2) {
        // The seam is smooth when its step is no larger than the steps the
        // sound takes anyway (the 99.9th percentile of them, per channel).
        const auto total = static_cast<std::ptrdiff_t>(sound.frameCount());
        double worstRatio = -1.0;
        for (int c = 0; c < sound.channels; ++c) {
            std::vector<double> steps;
            steps.reserve(sound.frameCount());
            for (std::ptrdiff_t n = 1; n < total; ++n)
                steps.push_back(std::abs(sampleAt(sound, n, c) - sampleAt(sound, n - 1, c)));
            const auto at = static_cast<std::ptrdiff_t>(static_cast<double>(steps.size()) * 0.999);
            std::nth_element(steps.begin(), steps.begin() + at, steps.end());
            const double limit = std::max(steps[static_cast<std::size_t>(at)], 1e-6);
            const double jump = std::abs(sampleAt(sound, 0, c) - sampleAt(sound, total - 1, c));
            if (jump / limit > worstRatio) {
                worstRatio = jump / limit;
                m.seamJump = jump;
                m.seamLimit = limit;
            }
        }
    }
    return m;
}

std::vector<std::string> problems(const Sound &sound, const Measurement &m)
{
    std::vector<std::string> found;
    char line[160];
    if (sound.samples.empty())
        found.emplace_back("no samples");
    if (m.truePeakDb > kTruePeakLimitDb) {
        std::snprintf(line, sizeof line, "true peak %.2f dBFS is above %.1f dBFS", m.truePeakDb,
            kTruePeakLimitDb);
        found.emplace_back(line);
    }
    if (m.dc > kDcLimit) {
        std::snprintf(line, sizeof line, "DC offset %.5f is above %.3f", m.dc, kDcLimit);
        found.emplace_back(line);
    }
    if (!sound.looping && m.seconds >= sound.maxSeconds) {
        std::snprintf(
            line, sizeof line, "%.3f s long, must stay below %.3f s", m.seconds, sound.maxSeconds);
        found.emplace_back(line);
    }
    if (sound.looping && m.seamJump > m.seamLimit) {
        std::snprintf(line, sizeof line, "loop seam jumps by %.5f, smooth steps are below %.5f",
            m.seamJump, m.seamLimit);
        found.emplace_back(line);
    }
    if (!sound.looping) {
        // A one-shot must start and end at rest, or it clicks when it starts or stops.
        for (int c = 0; c < sound.channels; ++c) {
            const double first = std::abs(sound.samples[static_cast<std::size_t>(c)]);
            const double last = std::abs(
                sound.samples[sound.samples.size() - static_cast<std::size_t>(sound.channels - c)]);
            if (first > 0.002 || last > 0.002) {
                std::snprintf(
                    line, sizeof line, "does not start and end at rest (%.4f, %.4f)", first, last);
                found.emplace_back(line);
                break;
            }
        }
    }
    return found;
}

} // namespace dorvel::gensounds
