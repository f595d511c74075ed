// On a working (silent) output device the sound library keeps each sample to
// three playbacks, lets a new playback take over the longest-playing one only
// when the sample asks for it, loops until stopped, and stops, frees and shuts
// down cleanly; damaged sample data loads as 0.
#include "SoundTestData.h"
#include "sound/OpenAlSoundLibrary.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <thread>

using namespace dorvel::sound;
using dorvel::test::makeTone;
using dorvel::test::SoundFormat;

namespace {

class SoundPlayback : public testing::Test
{
protected:
    static void SetUpTestSuite() { dorvel::test::useOpenAlDriver("null"); }

    void SetUp() override { ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0); }

    HSAMPLE load(const std::vector<unsigned char> &file, std::uint32_t flags)
    {
        return lib.BASS_SampleLoad(
            -1, file.data(), 0, static_cast<std::uint32_t>(file.size()), 3, flags);
    }

    static ALint stateOf(std::uint32_t source)
    {
        ALint state = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        return state;
    }

    // Polls until the source has finished; short samples end within tens of ms.
    static bool waitUntilStopped(std::uint32_t source)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (stateOf(source) == AL_PLAYING) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    OpenAlSoundLibrary lib;
    // Long enough to be still playing while a test looks at it.
    const std::vector<unsigned char> longTone = makeTone(SoundFormat::Wav16, 440.0, 10.0, 1, 11025);
};

} // namespace

TEST_F(SoundPlayback, AnswersVersionOnePointSeven)
{
    EXPECT_EQ(lib.BASS_GetVersion(), 0x00070001u);
    EXPECT_EQ(lib.BASS_Start(), 1);
}

TEST_F(SoundPlayback, RefusesAFourthPlaybackWithoutTakeOver)
{
    const HSAMPLE sample = load(longTone, 0);
    ASSERT_NE(sample, 0u);
    const auto a = lib.BASS_SamplePlay(sample);
    const auto b = lib.BASS_SamplePlay(sample);
    const auto c = lib.BASS_SamplePlay(sample);
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a != b && b != c && a != c);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), 0u);
    EXPECT_EQ(lib.activePlaybacks(sample), 3);
    for (const auto source : { a, b, c })
        EXPECT_EQ(stateOf(source), AL_PLAYING);
}

TEST_F(SoundPlayback, TakesOverTheLongestPlayingWhenAllAreBusy)
{
    const HSAMPLE sample = load(longTone, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(sample, 0u);
    const auto a = lib.BASS_SamplePlay(sample);
    const auto b = lib.BASS_SamplePlay(sample);
    const auto c = lib.BASS_SamplePlay(sample);
    ASSERT_TRUE(a && b && c);
    // Each further playback replaces the oldest of the three, round and round.
    EXPECT_EQ(lib.BASS_SamplePlay(sample), a);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), b);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), c);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), a);
    EXPECT_EQ(lib.activePlaybacks(sample), 3);
}

TEST_F(SoundPlayback, UsesAFinishedPlaybackBeforeTakingOver)
{
    const HSAMPLE sample = load(longTone, BASS_SAMPLE_OVER_POS);
    const auto a = lib.BASS_SamplePlay(sample);
    const auto b = lib.BASS_SamplePlay(sample);
    lib.BASS_SamplePlay(sample);
    alSourceStop(b); // as if b had reached its end
    EXPECT_EQ(lib.BASS_SamplePlay(sample), b);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), a);
}

TEST_F(SoundPlayback, LoopingPlaysOnUntilStopped)
{
    const auto shortTone = makeTone(SoundFormat::Wav16, 440.0, 0.03);
    const HSAMPLE looping = load(shortTone, BASS_SAMPLE_LOOP);
    const HSAMPLE once = load(shortTone, BASS_SAMPLE_OVER_POS);
    const auto loopSource = lib.BASS_SamplePlay(looping);
    const auto onceSource = lib.BASS_SamplePlay(once);
    ASSERT_TRUE(loopSource && onceSource);
    // Both started together with the same length: once the plain one is over,
    // the looping one has run past its end.
    ASSERT_TRUE(waitUntilStopped(onceSource));
    EXPECT_EQ(stateOf(loopSource), AL_PLAYING);
    EXPECT_EQ(lib.activePlaybacks(looping), 1);

    EXPECT_EQ(lib.BASS_SampleStop(looping), 1);
    EXPECT_EQ(stateOf(loopSource), AL_STOPPED);
    EXPECT_EQ(lib.activePlaybacks(looping), 0);
}

TEST_F(SoundPlayback, SampleStopEndsEveryPlaybackOfThatSampleOnly)
{
    const HSAMPLE music = load(longTone, BASS_SAMPLE_LOOP);
    const HSAMPLE click = load(longTone, BASS_SAMPLE_OVER_POS);
    for (int i = 0; i < 3; ++i)
        lib.BASS_SamplePlay(music);
    lib.BASS_SamplePlay(click);
    EXPECT_EQ(lib.BASS_SampleStop(music), 1);
    EXPECT_EQ(lib.activePlaybacks(music), 0);
    EXPECT_EQ(lib.activePlaybacks(click), 1);
    // A stopped sample plays again.
    EXPECT_NE(lib.BASS_SamplePlay(music), 0u);
    EXPECT_EQ(lib.activePlaybacks(music), 1);
}

TEST_F(SoundPlayback, StopSilencesEverythingAndStartResumesOutput)
{
    const HSAMPLE a = load(longTone, BASS_SAMPLE_LOOP);
    const HSAMPLE b = load(longTone, 0);
    lib.BASS_SamplePlay(a);
    lib.BASS_SamplePlay(b);
    EXPECT_EQ(lib.BASS_Stop(), 1);
    EXPECT_EQ(lib.activePlaybacks(a), 0);
    EXPECT_EQ(lib.activePlaybacks(b), 0);
    EXPECT_EQ(lib.BASS_Start(), 1);
    EXPECT_NE(lib.BASS_SamplePlay(b), 0u);
    EXPECT_EQ(lib.activePlaybacks(b), 1);
}

TEST_F(SoundPlayback, FreedSampleIsGoneAndItsHandleDead)
{
    const HSAMPLE sample = load(longTone, 0);
    const auto source = lib.BASS_SamplePlay(sample);
    ASSERT_NE(source, 0u);
    lib.BASS_SampleFree(sample);
    EXPECT_EQ(lib.loadedSamples(), 0u);
    EXPECT_FALSE(alIsSource(source));
    EXPECT_EQ(lib.BASS_SamplePlay(sample), 0u);
    EXPECT_EQ(lib.BASS_SampleStop(sample), 0);
    lib.BASS_SampleFree(sample); // twice: harmless
    lib.BASS_SampleFree(0);
    // Handles are not handed out again while in use, and never 0.
    const HSAMPLE next = load(longTone, 0);
    EXPECT_NE(next, 0u);
    EXPECT_NE(next, sample);
}

TEST_F(SoundPlayback, FreeReleasesLoadedSamplesAndAllowsAFreshInit)
{
    const HSAMPLE a = load(longTone, 0);
    load(longTone, BASS_SAMPLE_LOOP);
    const auto source = lib.BASS_SamplePlay(a);
    EXPECT_EQ(lib.loadedSamples(), 2u);
    lib.BASS_Free();
    EXPECT_EQ(lib.loadedSamples(), 0u);
    EXPECT_EQ(lib.BASS_SamplePlay(a), 0u);
    EXPECT_EQ(lib.BASS_GetVolume(), 0);
    lib.BASS_Free(); // twice: harmless

    ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    EXPECT_EQ(lib.BASS_GetVolume(), 100);
    EXPECT_NE(load(longTone, 0), 0u);
    (void)source;
}

TEST_F(SoundPlayback, VolumeIsClampedToZeroToHundred)
{
    EXPECT_EQ(lib.BASS_GetVolume(), 100);
    const struct
    {
        int set, expected;
    } cases[] = { { 50, 50 }, { 0, 0 }, { 100, 100 }, { -1, 0 }, { 133, 100 }, { 33, 33 },
        { INT_MIN, 0 }, { INT_MAX, 100 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.set);
        EXPECT_EQ(lib.BASS_SetVolume(c.set), 1);
        EXPECT_EQ(lib.BASS_GetVolume(), c.expected);
        ALfloat gain = -1.0f;
        alGetListenerf(AL_GAIN, &gain);
        EXPECT_FLOAT_EQ(gain, static_cast<float>(c.expected) / 100.0f);
    }
}

TEST_F(SoundPlayback, DamagedOrMissingDataLoadsAsZero)
{
    const auto wav = makeTone(SoundFormat::Wav16, 440.0, 0.1);
    const auto length = static_cast<std::uint32_t>(wav.size());
    std::vector<unsigned char> junk(4096);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<unsigned char>(i * 7919u >> 3);

    EXPECT_EQ(lib.BASS_SampleLoad(-1, wav.data(), 0, length / 2, 3, 0), 0u); // cut short
    EXPECT_EQ(load(junk, 0), 0u);
    EXPECT_EQ(lib.BASS_SampleLoad(-1, wav.data(), 0, 0, 3, 0), 0u); // empty
    EXPECT_EQ(lib.BASS_SampleLoad(-1, nullptr, 0, length, 3, 0), 0u);
    EXPECT_EQ(lib.BASS_SampleLoad(0, wav.data(), 0, length, 3, 0), 0u); // not from memory
    EXPECT_EQ(lib.BASS_SampleLoad(-1, wav.data(), 0, length, 0, 0), 0u); // no playbacks
    EXPECT_EQ(lib.loadedSamples(), 0u);
    EXPECT_EQ(lib.BASS_SamplePlay(0), 0u);
    EXPECT_EQ(lib.BASS_SamplePlay(12345), 0u);
    EXPECT_EQ(lib.BASS_SampleStop(12345), 0);
    lib.BASS_SampleFree(12345);

    // The offset is honoured: a sample behind other bytes.
    std::vector<unsigned char> packed(16, 0xAA);
    packed.insert(packed.end(), wav.begin(), wav.end());
    EXPECT_NE(lib.BASS_SampleLoad(-1, packed.data(), 16, length, 3, 0), 0u);
}

// The output device is paused while nothing plays and runs again for the next
// playback. A paused device mixes nothing, so a playback that had not resumed
// it would never reach its end: each step checks that sound still runs through.
TEST_F(SoundPlayback, DevicePausesWhileIdleAndEveryPlayResumesIt)
{
    const auto shortTone = makeTone(SoundFormat::Wav16, 440.0, 0.03);
    const HSAMPLE looping = load(longTone, BASS_SAMPLE_LOOP);
    const HSAMPLE once = load(shortTone, BASS_SAMPLE_OVER_POS);

    EXPECT_TRUE(lib.pauseIfIdle()) << "nothing plays after start-up";
    const auto loopSource = lib.BASS_SamplePlay(looping);
    EXPECT_FALSE(lib.isIdlePaused());
    EXPECT_FALSE(lib.pauseIfIdle()) << "a looping playback keeps the device running";
    EXPECT_EQ(lib.activePlaybacks(looping), 1);
    EXPECT_EQ(lib.BASS_SampleStop(looping), 1);
    EXPECT_EQ(stateOf(loopSource), AL_STOPPED);

    // Played again after pauses of either kind, the sound runs to its end.
    const struct
    {
        const char *after;
        bool stopStart;
    } cases[] = { { "an idle pause", false }, { "BASS_Stop and BASS_Start while idle", true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.after);
        ASSERT_TRUE(lib.pauseIfIdle());
        if (c.stopStart) {
            EXPECT_EQ(lib.BASS_Stop(), 1);
            EXPECT_FALSE(lib.pauseIfIdle()) << "a stopped device is BASS_Start's to resume";
            EXPECT_EQ(lib.BASS_Start(), 1);
            EXPECT_TRUE(lib.isIdlePaused()) << "nothing plays, so it stays paused";
        }
        const auto source = lib.BASS_SamplePlay(once);
        ASSERT_NE(source, 0u);
        EXPECT_FALSE(lib.isIdlePaused());
        EXPECT_TRUE(waitUntilStopped(source));
    }

    // Playbacks asked for after BASS_Stop wait for BASS_Start, idle or not.
    EXPECT_EQ(lib.BASS_Stop(), 1);
    const auto waiting = lib.BASS_SamplePlay(once);
    ASSERT_NE(waiting, 0u);
    EXPECT_FALSE(lib.isIdlePaused());
    EXPECT_EQ(lib.BASS_Start(), 1);
    EXPECT_FALSE(lib.isIdlePaused()) << "BASS_Start resumes for the playback asked for";
    EXPECT_TRUE(waitUntilStopped(waiting));
}

// A streamed sample (played while decoding) keeps every rule of a sample held
// in memory: the limit of three, take-over of the oldest or refusal, looping
// past its end, playing out once, stopping and playing again, and freeing.
TEST_F(SoundPlayback, StreamedSamplesKeepTheSampleRules)
{
    lib.setStreamBytes(1);
    const auto ogg = makeTone(SoundFormat::OggVorbis, 440.0, 0.2);
    const HSAMPLE plain = load(ogg, 0);
    const HSAMPLE over = load(ogg, BASS_SAMPLE_OVER_POS);
    const HSAMPLE looping = load(ogg, BASS_SAMPLE_LOOP);
    ASSERT_TRUE(plain && over && looping);
    ASSERT_TRUE(lib.isStreamed(plain) && lib.isStreamed(over) && lib.isStreamed(looping));

    const auto a = lib.BASS_SamplePlay(plain);
    const auto b = lib.BASS_SamplePlay(plain);
    const auto c = lib.BASS_SamplePlay(plain);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(lib.BASS_SamplePlay(plain), 0u);
    const auto x = lib.BASS_SamplePlay(over);
    const auto y = lib.BASS_SamplePlay(over);
    const auto z = lib.BASS_SamplePlay(over);
    EXPECT_EQ(lib.BASS_SamplePlay(over), x);
    EXPECT_EQ(lib.BASS_SamplePlay(over), y);
    EXPECT_EQ(lib.activePlaybacks(over), 3);
    (void)z;
    const auto loopSource = lib.BASS_SamplePlay(looping);
    ASSERT_NE(loopSource, 0u);

    // Three times the sound's length: the plain playbacks have played out and
    // free their sources again, the looping one goes on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < deadline) {
        lib.serviceStreams();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (lib.activePlaybacks(plain) > 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(lib.activePlaybacks(plain), 0);
    EXPECT_NE(lib.BASS_SamplePlay(plain), 0u) << "a played-out source plays again";
    EXPECT_EQ(lib.activePlaybacks(looping), 1);
    EXPECT_EQ(stateOf(loopSource), AL_PLAYING);

    EXPECT_EQ(lib.BASS_SampleStop(looping), 1);
    EXPECT_EQ(lib.activePlaybacks(looping), 0);
    EXPECT_EQ(stateOf(loopSource), AL_STOPPED);
    EXPECT_EQ(lib.BASS_SamplePlay(looping), loopSource);
    lib.BASS_SampleFree(looping);
    EXPECT_FALSE(alIsSource(loopSource));
    EXPECT_EQ(lib.loadedSamples(), 2u);
}
