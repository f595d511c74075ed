#pragma once

#include "sound/SoundLibrary.h"

#include <string>
#include <vector>

namespace dorvel::test {

/**
 * A sound library stand-in that records every call as text, e.g.
 * "SampleLoad(len=1234,max=3,flags=131072)=5", "SamplePlay(5)", "SetVolume(-1)".
 * Its version and the result of BASS_Init can be set; loads hand out 1, 2, 3 …
 */
class RecordingSoundLibrary final : public sound::SoundLibrary
{
public:
    std::uint32_t version = sound::kBassVersion17;
    int initResult = 1;
    int volume = 100;
    std::vector<std::string> calls;

    /// Calls whose text starts with prefix, in order.
    std::vector<std::string> callsStartingWith(const std::string &prefix) const;
    /// Index of the first call equal to text, or -1.
    int indexOf(const std::string &text) const;
    void clear() { calls.clear(); }

    std::uint32_t BASS_GetVersion() override;
    int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *win) override;
    int BASS_Start() override;
    sound::HSAMPLE BASS_SampleLoad(int mem, const void *file, std::uint32_t offset,
        std::uint32_t length, std::uint32_t max, std::uint32_t flags) override;
    std::uint32_t BASS_SamplePlay(sound::HSAMPLE handle) override;
    int BASS_SampleStop(sound::HSAMPLE handle) override;
    void BASS_SampleFree(sound::HSAMPLE handle) override;
    int BASS_GetVolume() override;
    int BASS_SetVolume(int volume) override;
    int BASS_Stop() override;
    void BASS_Free() override;

private:
    sound::HSAMPLE m_nextHandle = 1;
};

} // namespace dorvel::test
