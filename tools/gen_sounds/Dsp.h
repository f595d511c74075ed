// Small signal-processing building blocks shared by the sound designs: a seeded
// random source, filters, a struck-mode resonator, a plucked string and a
// buffer that mixes note renders in, optionally wrapping around a loop.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace dorvel::gensounds {

constexpr double kSampleRate = 44100.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Samples = std::vector<double>;

inline std::size_t frames(double seconds)
{
    return static_cast<std::size_t>(std::lround(seconds * kSampleRate));
}

inline double dbToGain(double db)
{
    return std::pow(10.0, db / 20.0);
}
inline double midiToHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// Seeded splitmix64: every build renders the same noise.
class Rng
{
public:
    explicit Rng(std::uint64_t seed)
        : m_state(seed)
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform in [-1, 1).
    double bipolar() { return 2.0 * uniform() - 1.0; }

private:
    std::uint64_t m_state;
};

// Direct-form-I biquad with the usual cookbook designs.
class Biquad
{
public:
    static Biquad lowPass(double hz, double q);
    static Biquad highPass(double hz, double q);
    // Band pass with 0 dB gain at the centre.
    static Biquad bandPass(double hz, double q);
    static Biquad peak(double hz, double q, double gainDb);

    double process(double x)
    {
        const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
        m_x2 = m_x1;
        m_x1 = x;
        m_y2 = m_y1;
        m_y1 = y;
        return y;
    }
    void run(Samples &signal)
    {
        for (double &s : signal)
            s = process(s);
    }

private:
    Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
        : m_b0(b0 / a0)
        , m_b1(b1 / a0)
        , m_b2(b2 / a0)
        , m_a1(a1 / a0)
        , m_a2(a2 / a0)
    {
    }
    double m_b0, m_b1, m_b2, m_a1, m_a2;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// Band pass whose centre may move every sample (a topology-preserving
// state-variable filter), for sounds whose colour glides.
class GlidingBandPass
{
public:
    explicit GlidingBandPass(double q)
        : m_damping(1.0 / q)
    {
    }
    double process(double x, double hz)
    {
        const double g = std::tan(std::numbers::pi * hz / kSampleRate);
        const double h = 1.0 / (1.0 + g * (m_damping + g));
        const double high = (x - (m_damping + g) * m_s1 - m_s2) * h;
        const double band = g * high + m_s1;
        m_s1 = g * high + band;
        const double low = g * band + m_s2;
        m_s2 = g * band + low;
        return band * m_damping;
    }

private:
    double m_damping;
    double m_s1 = 0.0, m_s2 = 0.0;
};

// One vibration mode of a struck body: a sine that decays with time constant tau.
struct Mode
{
    double hz;
    double tau;
    double amplitude;
};

// Renders a strike on a body with the given modes: each mode starts in phase
// with a short contact pulse (contactMs wide), which rounds the attack the way
// a soft or hard contact does. brightNoise adds the broadband contact noise.
Samples strike(
    const std::vector<Mode> &modes, double seconds, double contactMs, double brightNoise, Rng &rng);

// A Karplus-Strong plucked string.
struct PluckParams
{
    double hz = 440.0;
    double seconds = 1.0; // total render length
    double hold = 0.8; // after this the string is damped by the finger
    double t60 = 1.5; // ring time of the fundamental while held
    double release = 0.08; // ring time after the damping
    double brightness = 0.5; // 0 = dull thumb, 1 = bright pick
    double pickPosition = 0.2; // along the string, 0..0.5
};
Samples pluck(const PluckParams &params, Rng &rng);

// Raised-cosine fades at both ends of a one-shot sound.
void fadeEnds(Samples &signal, double fadeInMs, double fadeOutMs);

// Interleaved mix buffer. When looping, anything written past the end wraps
// to the start, so the tail of the last notes sounds in the first bars exactly
// as it does when the loop repeats.
class MixBuffer
{
public:
    MixBuffer(std::size_t frameCount, int channels, bool wrap)
        : m_frames(frameCount)
        , m_channels(channels)
        , m_wrap(wrap)
        , m_data(frameCount * static_cast<std::size_t>(channels), 0.0)
    {
    }
    // Adds a mono render at startFrame, with gain and a constant-power pan (-1..1).
    void add(const Samples &mono, std::ptrdiff_t startFrame, double gain, double pan = 0.0);
    std::size_t frameCount() const { return m_frames; }
    int channels() const { return m_channels; }
    Samples &data() { return m_data; }

private:
    std::size_t m_frames;
    int m_channels;
    bool m_wrap;
    Samples m_data;
};

} // namespace dorvel::gensounds
