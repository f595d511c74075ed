// Checks that the build's sound checks catch what they are there to catch:
// clipping between samples, DC, a jumping loop seam, a one-shot that stops
// on a step or runs too long; and that mastering and encoding keep a sound
// fit and the encoded bytes the same from run to run.
#include "SelfTest.h"

#include "AudioFile.h"
#include "Mastering.h"

#include <cstdio>
#include <functional>

namespace dorvel::gensounds {

namespace {

    Sound tone(double hz, double seconds, double amplitude, bool looping)
    {
        Sound sound;
        sound.id = 1;
        sound.name = "tone";
        sound.looping = looping;
        sound.maxSeconds = 2.0;
        const std::size_t n = frames(seconds);
        for (std::size_t i = 0; i < n; ++i)
            sound.samples.push_back(
                amplitude * std::sin(kTwoPi * hz * static_cast<double>(i) / kSampleRate));
        return sound;
    }

    bool flags(const Sound &sound, const char *word)
    {
        for (const std::string &fault : problems(sound, measure(sound)))
            if (fault.find(word) != std::string::npos)
                return true;
        return false;
    }

} // namespace

int runSelfTest()
{
    int failures = 0;
    auto expect = [&failures](bool condition, const char *what) {
        std::printf("%s: %s\n", condition ? "ok  " : "FAIL", what);
        if (!condition)
            ++failures;
    };

    // A quarter of the sample rate, phase-shifted so no sample lands on a crest:
    // the samples stay at 0.71 while the wave between them reaches 1.0.
    Sound between;
    between.looping = true;
    for (int i = 0; i < 4410; ++i)
        between.samples.push_back(std::sin(std::numbers::pi / 2 * i + std::numbers::pi / 4));
    expect(measure(between).peakDb < -2.9, "the samples of the inter-sample test wave stay low");
    expect(flags(between, "true peak"), "a peak between samples counts as clipping");

    // 440 Hz fits a 0.1 s loop exactly: 44 whole cycles.
    Sound whole = tone(440.0, 0.1, 0.5, true);
    expect(problems(whole, measure(whole)).empty(), "a loop of whole cycles passes");
    Sound broken = tone(440.0, 0.1 + 0.25 / 440.0, 0.5, true);
    expect(flags(broken, "seam"), "a loop that stops on a crest jumps at the seam");

    Sound offset = tone(440.0, 0.1, 0.5, true);
    for (double &s : offset.samples)
        s += 0.01;
    expect(flags(offset, "DC"), "an offset of 0.01 counts as DC");

    Sound abrupt = tone(440.0, 0.1, 0.5, false);
    abrupt.samples.resize(abrupt.samples.size() - 20);
    expect(flags(abrupt, "rest"), "a one-shot cut off mid-wave is caught");
    Sound tooLong = tone(440.0, 2.5, 0.5, false);
    fadeEnds(tooLong.samples, 5.0, 5.0);
    expect(flags(tooLong, "must stay below"), "a one-shot over its length limit is caught");

    Sound loud = tone(440.0, 0.5, 1.0, false);
    for (double &s : loud.samples)
        s += 0.2;
    loud.targetRmsDb = -20.0;
    master(loud);
    const Measurement mastered = measure(loud);
    expect(problems(loud, mastered).empty(), "mastering leaves a loud offset tone fit");
    expect(std::abs(mastered.rmsDb + 20.0) < 0.3, "mastering reaches the target RMS");

    std::string error;
    const auto first = encodeOgg(whole, 7, error);
    const auto second = encodeOgg(whole, 7, error);
    expect(first && second && *first == *second, "encoding twice gives the same bytes");
    int channels = 0;
    const auto decoded = first ? decode(*first, channels, error) : std::nullopt;
    expect(decoded && decoded->size() == whole.samples.size() && channels == 1,
        "the Ogg stream decodes to the same number of frames");

    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}

} // namespace dorvel::gensounds
