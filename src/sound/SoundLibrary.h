#pragma once

#include <cstdint>
#include <memory>

namespace dorvel::sound {

/// Handle of a sample loaded from memory; 0 means "no sample".
using HSAMPLE = std::uint32_t;

/// Sample flag: the sample loops until it is stopped.
inline constexpr std::uint32_t BASS_SAMPLE_LOOP = 4;
/// Sample flag: with every playback busy, a new one takes over the longest-playing.
inline constexpr std::uint32_t BASS_SAMPLE_OVER_POS = 0x20000;
/// The only version the program accepts: 1.7 (major in the low word, minor in the high).
inline constexpr std::uint32_t kBassVersion17 = 0x00070001;

/**
 * The sound library as the windows see it: eleven calls, named as the program
 * has always called them. Every window receives a reference to one of these,
 * so tests can hand it a recorder, another version number or a failing init.
 *
 * All calls come from the user-interface thread. After a failed BASS_Init every
 * call is harmless and answers 0.
 */
class SoundLibrary
{
public:
    virtual ~SoundLibrary() = default;

    virtual std::uint32_t BASS_GetVersion() = 0;
    /// Non-zero when an output device opened.
    virtual int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *win) = 0;
    virtual int BASS_Start() = 0;
    /// Decodes a sample from memory (mem must be non-zero); 0 on undecodable data.
    virtual HSAMPLE BASS_SampleLoad(int mem, const void *file, std::uint32_t offset,
        std::uint32_t length, std::uint32_t max, std::uint32_t flags)
        = 0;
    /// Starts one more playback; 0 when none could start.
    virtual std::uint32_t BASS_SamplePlay(HSAMPLE handle) = 0;
    /// Stops every playback of the sample.
    virtual int BASS_SampleStop(HSAMPLE handle) = 0;
    virtual void BASS_SampleFree(HSAMPLE handle) = 0;
    /// Master volume 0..100.
    virtual int BASS_GetVolume() = 0;
    virtual int BASS_SetVolume(int volume) = 0;
    virtual int BASS_Stop() = 0;
    /// Shuts the library down and releases every sample still loaded.
    virtual void BASS_Free() = 0;
};

/// The real library: OpenAL Soft for output, libsndfile for decoding. With a
/// rate, the output device is opened for it on a worker thread straight away
/// (see OpenAlSoundLibrary::openDeviceAhead), so that the program's other
/// start-up work and the sound system's start overlap.
std::unique_ptr<SoundLibrary> createOpenAlSoundLibrary(std::uint32_t openAheadFreq = 0);

} // namespace dorvel::sound
