// The start screen's music, resource 117 of the real resource library, is heard
// as it is stored: played by the real library as the start screen plays it
// (looping, streamed) and captured through OpenAL Soft's wave-file back-end,
// 12 s of the mix match the decoded resource in order, window by window. Prints
// each window's correlation.
#include "SoundWaveCapture.h"
#include "resources/ResourceLibrary.h"
#include "sound/OpenAlSoundLibrary.h"
#include "sound/SampleDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

using namespace dorvel::sound;
using namespace dorvel::resources;

namespace {

constexpr double kHeardSeconds = 12.5;
constexpr double kWindowSeconds = 0.5;

// Where the music starts in the mix. It opens with a motif that comes back,
// so a short stretch alone could align on its repeat: the first audible frame
// of each (the volume is full, so both cross the same level together) places
// it, and a correlation over the following 8192 frames settles the last few
// frames. The mix's size when the music is not heard.
std::size_t whereTheMusicStarts(const std::vector<float> &mix, const std::vector<float> &source)
{
    const auto firstLoud = [](const std::vector<float> &signal) {
        return static_cast<std::size_t>(std::find_if(signal.begin(), signal.end(), [](float v) {
            return std::abs(v) > 0.05f;
        }) - signal.begin());
    };
    const std::size_t sourceLoud = firstLoud(source);
    const std::size_t mixLoud = firstLoud(mix);
    if (sourceLoud == source.size() || mixLoud == mix.size() || mixLoud < sourceLoud)
        return mix.size();
    const std::vector<float> reference(source.begin() + static_cast<std::ptrdiff_t>(sourceLoud),
        source.begin() + static_cast<std::ptrdiff_t>(std::min(sourceLoud + 8192, source.size())));
    const std::size_t found = dorvel::test::align(mix, reference, reference.size(),
        mixLoud - std::min<std::size_t>(mixLoud, 256), mixLoud + 256);
    return found >= sourceLoud ? found - sourceLoud : mix.size();
}

} // namespace

TEST(SoundMusicCapture, StartScreenMusicIsHeardAsStoredForTwelveSeconds)
{
    const std::string out = dorvel::test::useWaveCapture();
    ASSERT_FALSE(out.empty());
    const ResourceModule *module = systemResourceLoader().loadLibrary(kResourceLibraryName);
    ASSERT_NE(module, nullptr) << "build the redizo target";
    const auto music = openResource(module, 117);
    ASSERT_TRUE(music);
    const auto pcm = decodeSample(music->memory(), music->size());
    ASSERT_TRUE(pcm);

    {
        OpenAlSoundLibrary lib;
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
        ASSERT_EQ(lib.BASS_Start(), 1);
        const HSAMPLE sample = lib.BASS_SampleLoad(
            -1, music->memory(), 0, static_cast<std::uint32_t>(music->size()), 3, BASS_SAMPLE_LOOP);
        ASSERT_NE(sample, 0u);
        ASSERT_TRUE(lib.isStreamed(sample));
        ASSERT_NE(lib.BASS_SamplePlay(sample), 0u);
        // Real time passes for the back-end; the library's refill worker streams.
        std::this_thread::sleep_for(std::chrono::duration<double>(kHeardSeconds + 1.0));
        lib.BASS_Free(); // finishes the capture
    }

    const dorvel::test::Capture capture = dorvel::test::readCapture(out);
    ASSERT_EQ(capture.rate, pcm->sampleRate) << "no capture at the music's rate in " << out;
    const std::vector<float> mix = capture.firstChannel();
    const auto channels = static_cast<std::size_t>(pcm->channels);
    std::vector<float> source(pcm->frames());
    for (std::size_t f = 0; f < source.size(); ++f)
        source[f] = pcm->samples[f * channels] / 32768.0f;

    const std::size_t start = whereTheMusicStarts(mix, source);
    ASSERT_LT(start, mix.size()) << "the music is not heard";

    const auto window = static_cast<std::size_t>(kWindowSeconds * capture.rate);
    const auto windows = dorvel::test::windowCorrelations(
        mix, start, [&](std::size_t frame) { return source[frame % source.size()]; },
        static_cast<std::size_t>(kHeardSeconds * capture.rate), window);
    std::printf("[ music    ] started %.3f s into the capture; correlation with resource 117 "
                "per %.1f s window:\n",
        static_cast<double>(start) / capture.rate, kWindowSeconds);
    for (std::size_t w = 0; w < windows.size(); ++w)
        std::printf("[ music    ] %5.1f-%5.1f s  %.4f\n", static_cast<double>(w) * kWindowSeconds,
            static_cast<double>(w + 1) * kWindowSeconds, windows[w]);
    ASSERT_GE(static_cast<double>(windows.size()) * kWindowSeconds, 12.0)
        << "less than 12 s captured";
    for (std::size_t w = 0; w < windows.size(); ++w)
        EXPECT_GE(windows[w], 0.99)
            << "window at " << static_cast<double>(w) * kWindowSeconds << " s";
}
