// The start screen's three samples, taken from the real resource library, load
// as the start screen loads them; the music, played straight away, plays at once
// (it is streamed, so there is no decoding to wait for), and closing while it
// plays is harmless. How long the loads take is measured by bench_inproc's
// sound-loads scenario.
#include "SoundTestData.h"
#include "resources/ResourceLibrary.h"
#include "sound/OpenAlSoundLibrary.h"

#include <gtest/gtest.h>

using namespace dorvel::sound;
using namespace dorvel::resources;

TEST(SoundStartup, ThreeStartScreenSamplesLoadAndTheMusicPlays)
{
    dorvel::test::useOpenAlDriver("null");
    const ResourceModule *module = systemResourceLoader().loadLibrary(kResourceLibraryName);
    ASSERT_NE(module, nullptr) << "build the redizo target";
    OpenAlSoundLibrary lib;
    ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    lib.BASS_Start();
    const auto load = [&](int id, std::uint32_t flags) {
        const auto stream = openResource(module, id);
        return stream ? lib.BASS_SampleLoad(
                   -1, stream->memory(), 0, static_cast<std::uint32_t>(stream->size()), 3, flags)
                      : HSAMPLE { 0 };
    };
    const HSAMPLE music = load(117, BASS_SAMPLE_LOOP);
    const HSAMPLE click = load(116, BASS_SAMPLE_OVER_POS);
    const HSAMPLE confirm = load(115, BASS_SAMPLE_OVER_POS);
    ASSERT_TRUE(music && click && confirm);

    ASSERT_NE(lib.BASS_SamplePlay(music), 0u);
    EXPECT_EQ(lib.activePlaybacks(music), 1);
    // The start screen closes while the music still plays.
    lib.BASS_Stop();
    lib.BASS_SampleFree(music);
    lib.BASS_SampleFree(click);
    lib.BASS_SampleFree(confirm);
    lib.BASS_Free();
}
