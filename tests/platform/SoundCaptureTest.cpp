// What the sound library plays really reaches the output mix: captured through
// OpenAL Soft's wave-file back-end, a playing sample is heard as its tone and a
// stopped one falls silent.
#include "SoundTestData.h"
#include "platform/OpenAlSoundLibrary.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

using namespace dorvel::platform;
using Clock = std::chrono::steady_clock;

namespace {

struct Capture
{
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, -1..1

    std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
    std::size_t frameAt(double seconds) const
    {
        return std::min(frames(), static_cast<std::size_t>(std::max(0.0, seconds) * rate));
    }

    // Root mean square of the first channel over [from, to) seconds.
    double rms(double from, double to) const
    {
        const std::size_t a = frameAt(from), b = frameAt(to);
        double sum = 0.0;
        for (std::size_t f = a; f < b; ++f) {
            const double v = samples[f * static_cast<std::size_t>(channels)];
            sum += v * v;
        }
        return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
    }

    // Sign changes per second of the first channel: twice the tone's frequency.
    double crossingsPerSecond(double from, double to) const
    {
        const std::size_t a = frameAt(from), b = frameAt(to);
        int crossings = 0;
        for (std::size_t f = a + 1; f < b; ++f) {
            const float p = samples[(f - 1) * static_cast<std::size_t>(channels)];
            const float q = samples[f * static_cast<std::size_t>(channels)];
            if ((p < 0.0f) != (q < 0.0f))
                ++crossings;
        }
        return b > a ? crossings * static_cast<double>(rate) / static_cast<double>(b - a) : 0.0;
    }
};

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

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Points OpenAL Soft's wave back-end at a capture file and answers its path.
// OpenAL Soft reads its configuration at the first device of the process, so
// every test of this file shares one; each device writes the file anew.
std::string captureFile()
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
    dorvel::test::useOpenAlDriver(nullptr);
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    return out;
}

} // namespace

// Each test opens the library on the wave back-end; `opened` is when the
// capture clock started, give or take the back-end's start-up.
class SoundCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        out = captureFile();
        ASSERT_FALSE(out.empty());
        opened = Clock::now();
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    }

    std::string out;
    OpenAlSoundLibrary lib;
    Clock::time_point opened;
};

TEST_F(SoundCapture, PlayedSampleIsAudibleAndStoppedOneIsNot)
{
    ASSERT_EQ(lib.BASS_Start(), 1);
    const auto tone = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 440.0, 1.0);
    const HSAMPLE sample = lib.BASS_SampleLoad(
        -1, tone.data(), 0, static_cast<std::uint32_t>(tone.size()), 3, BASS_SAMPLE_LOOP);
    ASSERT_NE(sample, 0u);

    // The back-end writes in real time, so the test has to let time pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double played = secondsSince(opened);
    ASSERT_NE(lib.BASS_SamplePlay(sample), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double stopped = secondsSince(opened);
    ASSERT_EQ(lib.BASS_SampleStop(sample), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lib.BASS_Free(); // closes the device, which finishes the file

    const Capture capture = readCapture(out);
    ASSERT_GT(capture.rate, 0) << "no capture written to " << out;
    const double end = static_cast<double>(capture.frames()) / capture.rate;
    ASSERT_GT(end, stopped + 0.15);

    // The capture clock starts inside BASS_Init and its thread may lag, so
    // events land in the file up to some tens of ms before their wall-clock
    // time (a little after only by one mixing period): the windows keep
    // clear of the moments of play and stop by more than that.
    const double loud = capture.rms(played + 0.1, stopped - 0.2);
    const double afterStop = capture.rms(stopped + 0.1, end);
    const double beforePlay = capture.rms(0.0, played - 0.2);
    EXPECT_GT(loud, 0.1) << "played sample not heard";
    EXPECT_LT(afterStop, 0.001) << "stopped sample still heard";
    EXPECT_LT(beforePlay, 0.001);
    EXPECT_NEAR(capture.crossingsPerSecond(played + 0.1, stopped - 0.2), 880.0, 20.0);
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
            && std::abs(capture.crossingsPerSecond(t, t + 0.1) - 1320.0) < 40.0;
    }
    EXPECT_TRUE(heard) << "the tone played after the pause";
}

// A streamed looping sample is heard without a break for several times its
// length: every 50 ms of the capture while it plays holds its tone.
TEST_F(SoundCapture, StreamedLoopPlaysOnWithoutGaps)
{
    lib.setStreamBytes(1);
    const auto tone = dorvel::test::makeTone(dorvel::test::SoundFormat::OggVorbis, 440.0, 0.25);
    const HSAMPLE sample = lib.BASS_SampleLoad(
        -1, tone.data(), 0, static_cast<std::uint32_t>(tone.size()), 3, BASS_SAMPLE_LOOP);
    ASSERT_TRUE(lib.isStreamed(sample));

    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double played = secondsSince(opened);
    ASSERT_NE(lib.BASS_SamplePlay(sample), 0u);
    while (secondsSince(opened) < played + 1.2) {
        lib.serviceStreams();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double stopped = secondsSince(opened);
    ASSERT_EQ(lib.BASS_SampleStop(sample), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lib.BASS_Free();

    const Capture capture = readCapture(out);
    ASSERT_GT(capture.rate, 0) << "no capture written to " << out;
    for (double t = played + 0.1; t + 0.05 <= stopped - 0.2; t += 0.05) {
        SCOPED_TRACE(t - played);
        EXPECT_GT(capture.rms(t, t + 0.05), 0.1);
    }
    EXPECT_NEAR(capture.crossingsPerSecond(played + 0.1, stopped - 0.2), 880.0, 20.0);
    EXPECT_LT(capture.rms(stopped + 0.1, stopped + 0.25), 0.001);
}

// A device opened ahead is the one BASS_Init takes over at the same rate: the
// capture runs from the moment it was opened, and a sample played after
// BASS_Init is heard in it. At another rate it is closed, and the capture
// comes from a device that BASS_Init opened at its own rate.
TEST(SoundOpenedAhead, TakenOverAtItsRateReopenedAtAnother)
{
    const std::string out = captureFile();
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
