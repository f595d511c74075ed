// The start screen's three samples, taken from the real resource library, load
// as the start screen loads them; the music, played straight away, plays (it is
// streamed, so there is no decoding to wait for; the wait below only matters if
// it were ever decoded in the background), and closing while it plays is
// harmless. Prints
// how long the three loads take (a measurement for the log, not a requirement).
#include "SoundTestData.h"
#include "resources/ResourceLibrary.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace dorvel::sound;
using namespace dorvel::resources;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct StartScreenSounds
{
    std::unique_ptr<ResourceStream> music, click, confirm;
};

class SoundStartup : public testing::Test
{
protected:
    static void SetUpTestSuite() { dorvel::test::useOpenAlDriver("null"); }

    void SetUp() override
    {
        const ResourceModule *module = systemResourceLoader().loadLibrary(kResourceLibraryName);
        ASSERT_NE(module, nullptr) << "build the redizo target";
        sounds.music = openResource(module, 117);
        sounds.click = openResource(module, 116);
        sounds.confirm = openResource(module, 115);
        ASSERT_TRUE(sounds.music && sounds.click && sounds.confirm);
    }

    static HSAMPLE load(OpenAlSoundLibrary &lib, const ResourceStream &stream, std::uint32_t flags)
    {
        return lib.BASS_SampleLoad(
            -1, stream.memory(), 0, static_cast<std::uint32_t>(stream.size()), 3, flags);
    }

    StartScreenSounds sounds;
};

} // namespace

TEST_F(SoundStartup, ThreeStartScreenSamplesLoadAndTheMusicPlays)
{
    constexpr int kRuns = 5;
    std::vector<double> loadTimes;
    std::vector<double> musicLoadTimes;
    double musicHeardAfter = 0.0;
    for (int run = 0; run < kRuns; ++run) {
        OpenAlSoundLibrary lib;
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
        lib.BASS_Start();
        const auto start = Clock::now();
        const HSAMPLE music = load(lib, *sounds.music, BASS_SAMPLE_LOOP);
        musicLoadTimes.push_back(millisecondsSince(start));
        const HSAMPLE click = load(lib, *sounds.click, BASS_SAMPLE_OVER_POS);
        const HSAMPLE confirm = load(lib, *sounds.confirm, BASS_SAMPLE_OVER_POS);
        loadTimes.push_back(millisecondsSince(start));
        ASSERT_TRUE(music && click && confirm);

        // The start screen starts the music right after loading it.
        ASSERT_NE(lib.BASS_SamplePlay(music), 0u);
        EXPECT_EQ(lib.activePlaybacks(music), 1);
        if (run == 0) {
            QElapsedTimer waited;
            waited.start();
            while (lib.isDecoding(music) && waited.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            musicHeardAfter = millisecondsSince(start);
            EXPECT_FALSE(lib.isDecoding(music));
            EXPECT_EQ(lib.activePlaybacks(music), 1) << "the music plays once decoded";
            EXPECT_EQ(lib.BASS_SampleStop(music), 1);
            EXPECT_EQ(lib.activePlaybacks(music), 0);
        }
        // The later runs close the start screen while the music still plays.
        lib.BASS_Stop();
        lib.BASS_SampleFree(music);
        lib.BASS_SampleFree(click);
        lib.BASS_SampleFree(confirm);
        lib.BASS_Free();
    }
    // The first run is the one a start-up pays: libraries and data touched for
    // the first time in the process.
    std::printf("[ timing   ] first run: three start-screen loads %.2f ms, of it the music "
                "%.2f ms; music playing after %.1f ms\n",
        loadTimes.front(), musicLoadTimes.front(), musicHeardAfter);
    std::sort(loadTimes.begin(), loadTimes.end());
    std::sort(musicLoadTimes.begin(), musicLoadTimes.end());
    std::printf("[ timing   ] all %d runs: three start-screen loads median %.2f ms (min %.2f, "
                "max %.2f), of it the music %.2f ms\n",
        kRuns, loadTimes[kRuns / 2], loadTimes.front(), loadTimes.back(),
        musicLoadTimes[kRuns / 2]);
}
