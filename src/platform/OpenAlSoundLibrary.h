#pragma once

#include "SoundLibrary.h"

#include <AL/alc.h>

#include <cstdint>
#include <map>
#include <vector>

namespace dorvel::platform {

/**
 * The sound library over OpenAL Soft, with libsndfile decoding samples from
 * memory. One OpenAL buffer per sample and, per sample, as many OpenAL sources
 * as the sample's playback limit; a playback is one of those sources playing.
 *
 * Without an open device (BASS_Init not called, failed, or after BASS_Free)
 * every call does nothing and answers 0.
 *
 * The master volume is the listener gain. Values outside 0..100 (the volume
 * bar hands them over unclamped, e.g. -1 or 133) are clamped to 0..100, and
 * BASS_GetVolume reports the clamped value.
 */
class OpenAlSoundLibrary final : public SoundLibrary
{
public:
    OpenAlSoundLibrary() = default;
    ~OpenAlSoundLibrary() override;
    OpenAlSoundLibrary(const OpenAlSoundLibrary &) = delete;
    OpenAlSoundLibrary &operator=(const OpenAlSoundLibrary &) = delete;

    std::uint32_t BASS_GetVersion() override;
    int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *win) override;
    int BASS_Start() override;
    HSAMPLE BASS_SampleLoad(int mem, const void *file, std::uint32_t offset, std::uint32_t length,
        std::uint32_t max, std::uint32_t flags) override;
    /// Answers the OpenAL source that plays, or 0 when none could start.
    std::uint32_t BASS_SamplePlay(HSAMPLE handle) override;
    int BASS_SampleStop(HSAMPLE handle) override;
    void BASS_SampleFree(HSAMPLE handle) override;
    int BASS_GetVolume() override;
    int BASS_SetVolume(int volume) override;
    int BASS_Stop() override;
    void BASS_Free() override;

    /// Playbacks of the sample that are running now (0 for an unknown handle).
    int activePlaybacks(HSAMPLE handle);
    /// Number of samples currently loaded.
    std::size_t loadedSamples() const { return m_samples.size(); }

    /// Largest playback limit per sample that BASS_SampleLoad accepts.
    static constexpr std::uint32_t kMaxPlaybacks = 64;

private:
    struct Sample
    {
        unsigned int buffer = 0;
        std::uint32_t flags = 0;
        std::vector<unsigned int> sources;
        // When each source was last started, in playback order: the smallest
        // running one is the longest-playing.
        std::vector<std::uint64_t> startedAt;
    };

    bool ready();
    void releaseSample(Sample &sample);
    void applyVolume();

    ALCdevice *m_device = nullptr;
    ALCcontext *m_context = nullptr;
    std::map<HSAMPLE, Sample> m_samples;
    HSAMPLE m_lastHandle = 0;
    std::uint64_t m_playCounter = 0;
    int m_volume = 100;
    bool m_paused = false;
};

} // namespace dorvel::platform
