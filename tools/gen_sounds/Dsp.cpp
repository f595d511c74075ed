#include "Dsp.h"

#include <algorithm>

namespace dorvel::gensounds {

namespace {

    struct Coefficients
    {
        double cosw, alpha;
    };

    Coefficients prepare(double hz, double q)
    {
        const double w = kTwoPi * hz / kSampleRate;
        return { std::cos(w), std::sin(w) / (2.0 * q) };
    }

} // namespace

Biquad Biquad::lowPass(double hz, double q)
{
    const auto [c, a] = prepare(hz, q);
    return Biquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + a, -2 * c, 1 - a);
}

Biquad Biquad::highPass(double hz, double q)
{
    const auto [c, a] = prepare(hz, q);
    return Biquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + a, -2 * c, 1 - a);
}

Biquad Biquad::bandPass(double hz, double q)
{
    const auto [c, a] = prepare(hz, q);
    return Biquad(a, 0, -a, 1 + a, -2 * c, 1 - a);
}

Biquad Biquad::peak(double hz, double q, double gainDb)
{
    const auto [c, a] = prepare(hz, q);
    const double g = std::pow(10.0, gainDb / 40.0);
    return Biquad(1 + a * g, -2 * c, 1 - a * g, 1 + a / g, -2 * c, 1 - a / g);
}

Samples strike(
    const std::vector<Mode> &modes, double seconds, double contactMs, double brightNoise, Rng &rng)
{
    const std::size_t n = frames(seconds);
    Samples out(n, 0.0);

    // Half-sine contact pulse with unit area, so each mode's level is set by
    // its amplitude and by how much of the pulse's spectrum reaches it.
    const std::size_t width = std::max<std::size_t>(1, frames(contactMs / 1000.0));
    Samples pulse(width);
    double area = 0.0;
    for (std::size_t i = 0; i < width; ++i) {
        pulse[i] = std::sin(
            std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(width));
        area += pulse[i];
    }
    for (double &p : pulse)
        p /= area;

    for (const Mode &mode : modes) {
        if (mode.hz >= kSampleRate * 0.45)
            continue;
        const double w = kTwoPi * mode.hz / kSampleRate;
        const double r = std::exp(-1.0 / (mode.tau * kSampleRate));
        const double a1 = 2.0 * r * std::cos(w);
        const double a2 = r * r;
        const double g = mode.amplitude * std::sin(w);
        double y1 = 0.0, y2 = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = i < width ? pulse[i] * g : 0.0;
            const double y = x + a1 * y1 - a2 * y2;
            y2 = y1;
            y1 = y;
            out[i] += y;
        }
    }

    if (brightNoise > 0.0) {
        // Contact noise: a burst a little longer than the pulse, high-passed so
        // it reads as the "tick" of hard surfaces rather than as a thump.
        Biquad hp = Biquad::highPass(2500.0, 0.7);
        const double tau = std::max(0.0003, contactMs / 1000.0);
        const std::size_t len = std::min(n, frames(tau * 6.0));
        for (std::size_t i = 0; i < len; ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            out[i] += hp.process(rng.bipolar() * brightNoise * std::exp(-t / tau));
        }
    }
    return out;
}

Samples pluck(const PluckParams &p, Rng &rng)
{
    const std::size_t n = frames(p.seconds);
    Samples out(n, 0.0);

    // The loop holds a delay line, a two-point average (half a sample of
    // delay) and a first-order all-pass for the fractional rest, so the pitch
    // is exact rather than rounded to whole samples.
    const double period = kSampleRate / p.hz;
    double whole = std::floor(period - 0.5);
    double fraction = period - 0.5 - whole;
    if (fraction < 0.1) {
        whole -= 1.0;
        fraction += 1.0;
    }
    const auto length = static_cast<std::size_t>(whole);
    const double apC = (1.0 - fraction) / (1.0 + fraction);

    // Excitation: the string's shape at the moment it is released (a triangle
    // peaking at the pick position) with some noise for the pick's scrape,
    // low-passed by the brightness, then combed at the pick position (a pick
    // near the bridge sounds thinner).
    Samples line(length);
    const double smooth = 0.1 + 0.8 * (1.0 - p.brightness);
    const auto pickOffset = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::lround(p.pickPosition * static_cast<double>(length))), 1,
        length - 1);
    double lp = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double shape = i < pickOffset
            ? static_cast<double>(i) / static_cast<double>(pickOffset)
            : static_cast<double>(length - i) / static_cast<double>(length - pickOffset);
        const double raw = shape + 0.35 * p.brightness * rng.bipolar();
        lp = lp * smooth + (1.0 - smooth) * raw;
        line[i] = lp;
    }
    Samples combed(length);
    for (std::size_t i = 0; i < length; ++i)
        combed[i] = line[i] - 0.5 * (i >= pickOffset ? line[i - pickOffset] : 0.0);
    double mean = 0.0;
    for (double s : combed)
        mean += s;
    mean /= static_cast<double>(length);
    double peak = 1e-9;
    for (double &s : combed) {
        s -= mean;
        peak = std::max(peak, std::abs(s));
    }
    for (double &s : combed)
        s /= peak;
    line = combed;

    // Loop gain per period chosen so the fundamental falls by 60 dB in t60
    // seconds; the average already loses cos(pi f / fs) per pass.
    const double averageLoss = std::cos(std::numbers::pi * p.hz / kSampleRate);
    auto loopGain = [&](double t60) {
        return std::min(0.99995, std::pow(0.001, 1.0 / (t60 * p.hz)) / averageLoss);
    };
    const double heldGain = loopGain(p.t60);
    const double dampedGain = loopGain(p.release);
    const std::size_t holdFrames = frames(p.hold);

    std::size_t index = 0;
    double previous = 0.0, apIn = 0.0, apOut = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double current = line[index];
        out[i] = current;
        const double gain = i < holdFrames ? heldGain : dampedGain;
        const double averaged = gain * 0.5 * (current + previous);
        previous = current;
        const double y = apC * averaged + apIn - apC * apOut;
        apIn = averaged;
        apOut = y;
        line[index] = y;
        index = index + 1 == length ? 0 : index + 1;
    }
    // The excitation does not start at zero; a ramp shorter than the pluck's
    // own attack keeps that step from adding a click. The very end is settled
    // too, so a note never stops on a step.
    fadeEnds(out, 0.7, 5.0);
    return out;
}

void fadeEnds(Samples &signal, double fadeInMs, double fadeOutMs)
{
    const std::size_t n = signal.size();
    const std::size_t in = std::min(n, frames(fadeInMs / 1000.0));
    const std::size_t out = std::min(n, frames(fadeOutMs / 1000.0));
    for (std::size_t i = 0; i < in; ++i)
        signal[i] *= 0.5
            - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(in));
    for (std::size_t i = 0; i < out; ++i)
        signal[n - 1 - i] *= 0.5
            - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(out));
}

void MixBuffer::add(const Samples &mono, std::ptrdiff_t startFrame, double gain, double pan)
{
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * std::numbers::pi / 4.0;
    const double gains[2] = { gain * std::cos(angle) * std::numbers::sqrt2,
        gain * std::sin(angle) * std::numbers::sqrt2 };
    const auto total = static_cast<std::ptrdiff_t>(m_frames);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        std::ptrdiff_t frame = startFrame + static_cast<std::ptrdiff_t>(i);
        if (m_wrap) {
            frame %= total;
            if (frame < 0)
                frame += total;
        } else if (frame < 0 || frame >= total) {
            continue;
        }
        const auto base = static_cast<std::size_t>(frame) * static_cast<std::size_t>(m_channels);
        if (m_channels == 1) {
            m_data[base] += gain * mono[i];
        } else {
            m_data[base] += gains[0] * mono[i];
            m_data[base + 1] += gains[1] * mono[i];
        }
    }
}

} // namespace dorvel::gensounds
