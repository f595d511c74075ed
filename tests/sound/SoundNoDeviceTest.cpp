// Without an output device the sound library refuses BASS_Init, and every
// later call, the volume bar's included, does nothing and answers 0.
#include "SoundTestData.h"
#include "sound/OpenAlSoundLibrary.h"

#include <gtest/gtest.h>

#include <climits>

using namespace dorvel::sound;

namespace {

void expectEveryCallHarmless(SoundLibrary &lib)
{
    const auto wav = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 440.0, 0.1);
    EXPECT_EQ(lib.BASS_GetVersion(), kBassVersion17);
    EXPECT_EQ(lib.BASS_Start(), 0);
    EXPECT_EQ(lib.BASS_SetVolume(50), 0);
    EXPECT_EQ(lib.BASS_SetVolume(-1), 0);
    EXPECT_EQ(lib.BASS_SetVolume(133), 0);
    EXPECT_EQ(lib.BASS_SetVolume(INT_MIN), 0);
    EXPECT_EQ(lib.BASS_GetVolume(), 0);
    const HSAMPLE sample = lib.BASS_SampleLoad(
        -1, wav.data(), 0, static_cast<std::uint32_t>(wav.size()), 3, BASS_SAMPLE_LOOP);
    EXPECT_EQ(sample, 0u);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), 0u);
    EXPECT_EQ(lib.BASS_SamplePlay(1), 0u);
    EXPECT_EQ(lib.BASS_SampleStop(1), 0);
    lib.BASS_SampleFree(1);
    EXPECT_EQ(lib.BASS_Stop(), 0);
    lib.BASS_Free();
    lib.BASS_Free();
}

} // namespace

TEST(SoundWithoutDevice, InitFailsAndLaterCallsAreHarmless)
{
    // A back-end that does not exist stands for a machine without a sound card.
    dorvel::test::useOpenAlDriver("nonexistent");
    auto lib = createOpenAlSoundLibrary();
    EXPECT_EQ(lib->BASS_Init(-1, 44100, 0, nullptr), 0);
    expectEveryCallHarmless(*lib);
    // Trying again does not help and does not hurt.
    EXPECT_EQ(lib->BASS_Init(-1, 44100, 0, nullptr), 0);
    expectEveryCallHarmless(*lib);
}

TEST(SoundWithoutDevice, CallsBeforeInitAreHarmless)
{
    OpenAlSoundLibrary lib;
    expectEveryCallHarmless(lib);
}
