// What the sound library plays reaches the output mix as it is stored:
// captured through OpenAL Soft's wave-file back-end, each kind of playback (an
// effect in memory, a looping sample in memory, a streamed looping sample over
// several refills and loop seams) matches its decoded source window by window,
// in order, and a stopped one falls silent. The test sounds sweep in pitch, so
// a fragment heard twice or out of place does not match.
#include "SoundTestData.h"
#include "SoundWaveCapture.h"
#include "sound/OpenAlSoundLibrary.h"
#include "sound/SampleDecoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

using namespace dorvel::sound;
using dorvel::test::Capture;
using dorvel::test::readCapture;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void waitSeconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Sign changes per second of the first channel over [from, to) seconds: twice
// the tone's frequency.
double crossingsPerSecond(const Capture &capture, double from, double to)
{
    const std::size_t a = capture.frameAt(from), b = capture.frameAt(to);
    const auto channels = static_cast<std::size_t>(capture.channels);
    int crossings = 0;
    for (std::size_t f = a + 1; f < b; ++f) {
        if ((capture.samples[(f - 1) * channels] < 0.0f) != (capture.samples[f * channels] < 0.0f))
            ++crossings;
    }
    return b > a ? crossings * static_cast<double>(capture.rate) / static_cast<double>(b - a) : 0.0;
}

// The source as the library decodes it, first channel, -1..1.
std::vector<float> decodedSource(const std::vector<unsigned char> &bytes)
{
    const auto pcm = decodeSample(bytes.data(), bytes.size());
    std::vector<float> mono;
    if (!pcm)
        return mono;
    for (std::size_t f = 0; f < pcm->frames(); ++f)
        mono.push_back(pcm->samples[f * static_cast<std::size_t>(pcm->channels)] / 32768.0f);
    return mono;
}

} // namespace

// Each test opens the library on the wave back-end; `opened` is when the
// capture clock started, give or take the back-end's start-up.
class SoundCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        out = dorvel::test::useWaveCapture();
        ASSERT_FALSE(out.empty());
        opened = Clock::now();
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    }

    std::string out;
    OpenAlSoundLibrary lib;
    Clock::time_point opened;
};

namespace {

struct PlaybackCase
{
    const char *name;
    dorvel::test::SoundFormat format;
    double seconds; // length of the sound
    std::uint32_t flags;
    bool streamed;
    double playFor; // then BASS_SampleStop
};

// A case as played: its decoded source, and when it was played and stopped
// (seconds since the capture began).
struct Played
{
    const PlaybackCase *c;
    std::vector<float> source;
    double at, stoppedAt;
};

// The capture, from where the playback starts in it, holds the source (once
// then silence, or over and over) window by window up to the stop, and is
// silent before it and after its end.
void expectHeardAsStored(const Capture &capture, const std::vector<float> &mix, const Played &p)
{
    SCOPED_TRACE(p.c->name);
    ASSERT_FALSE(p.source.empty());
    // The capture clock starts inside BASS_Init and its thread may lag, so
    // events land in the file up to some tens of ms before their wall-clock
    // time (a little after only by one mixing period).
    const std::size_t start = dorvel::test::align(
        mix, p.source, 4096, capture.frameAt(p.at - 0.25), capture.frameAt(p.at + 0.25));
    const std::vector<float> &source = p.source;
    const bool loops = (p.c->flags & BASS_SAMPLE_LOOP) != 0;
    const auto expected = [&](std::size_t frame) {
        return loops ? source[frame % source.size()]
                     : (frame < source.size() ? source[frame] : 0.0f);
    };
    const double heard = loops ? p.stoppedAt - p.at - 0.1 : p.c->seconds;
    const auto windows = dorvel::test::windowCorrelations(
        mix, start, expected, static_cast<std::size_t>(heard * capture.rate), 2048);
    ASSERT_GE(windows.size(), static_cast<std::size_t>(heard * capture.rate / 2048) - 1);
    for (std::size_t w = 0; w < windows.size(); ++w)
        EXPECT_GE(windows[w], 0.99)
            << "window at " << static_cast<double>(w) * 2048.0 / capture.rate << " s";
    const double startSeconds = static_cast<double>(start) / capture.rate;
    const double quietFrom = startSeconds + (loops ? p.stoppedAt - p.at : p.c->seconds) + 0.1;
    EXPECT_LT(capture.rms(quietFrom, quietFrom + 0.2), 0.001) << "heard after its end";
    EXPECT_LT(capture.rms(startSeconds - 0.15, startSeconds - 0.01), 0.001)
        << "heard before it was played";
}

} // namespace

// Every 2048-frame window up to the stop correlates with the source at 0.99 or
// more. The streamed case plays 2.4 s of a 1 s sound: about thirteen buffers of
// 8192 frames, so nine refills, and two loop seams. The test thread sleeps
// meanwhile, as a blocked user-interface thread would: the library's worker
// alone keeps the stream going.
TEST_F(SoundCapture, EachKindOfPlaybackMatchesItsSource)
{
    using dorvel::test::SoundFormat;
    const PlaybackCase cases[] = {
        { "effect in memory", SoundFormat::Wav16, 0.5, BASS_SAMPLE_OVER_POS, false, 0.8 },
        { "looping in memory", SoundFormat::Wav16, 0.3, BASS_SAMPLE_LOOP, false, 1.0 },
        { "streamed and looping", SoundFormat::OggVorbis, 1.0, BASS_SAMPLE_LOOP, true, 2.4 },
    };
    ASSERT_EQ(lib.BASS_Start(), 1);
    lib.setStreamBytes(1); // every Ogg Vorbis sample streams
    std::vector<Played> played;
    double at = 0.2;
    for (const PlaybackCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = dorvel::test::makeChirp(c.format, 300.0, 3000.0, c.seconds);
        const HSAMPLE sample = lib.BASS_SampleLoad(
            -1, bytes.data(), 0, static_cast<std::uint32_t>(bytes.size()), 3, c.flags);
        ASSERT_NE(sample, 0u);
        ASSERT_EQ(lib.isStreamed(sample), c.streamed);
        // The back-end writes in real time, so the test has to let time pass.
        waitSeconds(at - secondsSince(opened));
        const double start = secondsSince(opened);
        ASSERT_NE(lib.BASS_SamplePlay(sample), 0u);
        waitSeconds(c.playFor);
        const double stop = secondsSince(opened);
        ASSERT_EQ(lib.BASS_SampleStop(sample), 1);
        played.push_back({ &c, decodedSource(bytes), start, stop });
        at = stop + 0.4;
    }
    waitSeconds(at - secondsSince(opened));
    lib.BASS_Free(); // closes the device, which finishes the file

    const Capture capture = readCapture(out);
    ASSERT_GT(capture.rate, 0) << "no capture written to " << out;
    const std::vector<float> mix = capture.firstChannel();
    for (const Played &p : played)
        expectHeardAsStored(capture, mix, p);
}

// After the device has paused for idleness, the next playback is heard: the
// capture holds the second tone at its own frequency. The back-end writes
// nothing while paused, so the capture is shorter than the time that passed.
TEST_F(SoundCapture, PlaybackAfterAnIdlePauseIsHeard)
{
    ASSERT_EQ(lib.BASS_Start(), 1);
    const auto first = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 440.0, 0.3);
    const auto second = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 660.0, 0.4);
    const HSAMPLE a = lib.BASS_SampleLoad(
        -1, first.data(), 0, static_cast<std::uint32_t>(first.size()), 3, BASS_SAMPLE_OVER_POS);
    const HSAMPLE b = lib.BASS_SampleLoad(
        -1, second.data(), 0, static_cast<std::uint32_t>(second.size()), 3, BASS_SAMPLE_OVER_POS);
    ASSERT_TRUE(a && b);

    ASSERT_NE(lib.BASS_SamplePlay(a), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the first tone ends
    ASSERT_TRUE(lib.pauseIfIdle());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_NE(lib.BASS_SamplePlay(b), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const double wall = secondsSince(opened);
    lib.BASS_Free();

    // OpenAL Soft's wave writer, resumed after a pause, goes on writing where
    // it last patched the header (byte 8), so the file is read as what the
    // configuration says it is (16-bit stereo at the rate BASS_Init asked for)
    // and holds the sound after the pause first.
    std::ifstream file(out, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_GT(bytes.size(), 44u) << "no capture written to " << out;
    Capture capture;
    capture.rate = 44100;
    capture.channels = 2;
    for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) {
        std::int16_t value = 0;
        std::memcpy(&value, bytes.data() + at, 2);
        capture.samples.push_back(static_cast<float>(value) / 32768.0f);
    }
    const double end = static_cast<double>(capture.frames()) / capture.rate;
    EXPECT_LT(end, wall - 0.25) << "the device did not pause";
    // Slide a 0.1 s window over the capture, looking for the second tone.
    bool heard = false;
    for (double t = 0.0; t + 0.1 <= end && !heard; t += 0.05) {
        heard = capture.rms(t, t + 0.1) > 0.1
            && std::abs(crossingsPerSecond(capture, t, t + 0.1) - 1320.0) < 40.0;
    }
    EXPECT_TRUE(heard) << "the tone played after the pause";
}

// A device opened ahead is the one BASS_Init takes over at the same rate: the
// capture runs from the moment it was opened, and a sample played after
// BASS_Init is heard in it. At another rate it is closed, and the capture
// comes from a device that BASS_Init opened at its own rate.
TEST(SoundOpenedAhead, TakenOverAtItsRateReopenedAtAnother)
{
    const std::string out = dorvel::test::useWaveCapture();
    ASSERT_FALSE(out.empty());
    const auto tone = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 440.0, 1.0);
    struct Case
    {
        std::uint32_t aheadRate;
        bool takenOver;
    };
    for (const Case c : { Case { 44100, true }, Case { 22050, false } }) {
        SCOPED_TRACE(c.aheadRate);
        OpenAlSoundLibrary lib;
        lib.openDeviceAhead(c.aheadRate);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const auto init = Clock::now();
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
        ASSERT_EQ(lib.BASS_Start(), 1);
        const HSAMPLE sample = lib.BASS_SampleLoad(
            -1, tone.data(), 0, static_cast<std::uint32_t>(tone.size()), 3, BASS_SAMPLE_LOOP);
        ASSERT_NE(lib.BASS_SamplePlay(sample), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const double played = secondsSince(init);
        lib.BASS_Free();

        const Capture capture = readCapture(out);
        ASSERT_EQ(capture.rate, 44100) << "no capture at BASS_Init's rate in " << out;
        const double end = static_cast<double>(capture.frames()) / capture.rate;
        if (c.takenOver)
            EXPECT_GT(end, played + 0.2) << "the capture did not start when opened ahead";
        else
            EXPECT_LT(end, played + 0.2) << "the device opened ahead was kept";
        EXPECT_GT(capture.rms(end - 0.3, end - 0.05), 0.1) << "the sample played is not heard";
    }
}
