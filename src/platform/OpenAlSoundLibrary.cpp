// Placeholder until the OpenAL layer lands: no device ever opens.
#include "SoundLibrary.h"

namespace dorvel::platform {

namespace {
class SilentLibrary final : public SoundLibrary
{
public:
    std::uint32_t BASS_GetVersion() override { return kBassVersion17; }
    int BASS_Init(int, std::uint32_t, std::uint32_t, void *) override { return 0; }
    int BASS_Start() override { return 0; }
    HSAMPLE BASS_SampleLoad(int, const void *, std::uint32_t, std::uint32_t, std::uint32_t,
                            std::uint32_t) override
    {
        return 0;
    }
    std::uint32_t BASS_SamplePlay(HSAMPLE) override { return 0; }
    int BASS_SampleStop(HSAMPLE) override { return 0; }
    void BASS_SampleFree(HSAMPLE) override { }
    int BASS_GetVolume() override { return m_volume; }
    int BASS_SetVolume(int volume) override
    {
        m_volume = volume;
        return 1;
    }
    int BASS_Stop() override { return 0; }
    void BASS_Free() override { }

private:
    int m_volume = 100;
};
} // namespace

std::unique_ptr<SoundLibrary> createOpenAlSoundLibrary() { return std::make_unique<SilentLibrary>(); }

} // namespace dorvel::platform
