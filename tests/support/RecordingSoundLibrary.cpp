#include "RecordingSoundLibrary.h"

namespace dorvel::test {

std::vector<std::string> RecordingSoundLibrary::callsStartingWith(const std::string &prefix) const
{
    std::vector<std::string> result;
    for (const auto &call : calls) {
        if (call.rfind(prefix, 0) == 0)
            result.push_back(call);
    }
    return result;
}

int RecordingSoundLibrary::indexOf(const std::string &text) const
{
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] == text)
            return static_cast<int>(i);
    }
    return -1;
}

std::uint32_t RecordingSoundLibrary::BASS_GetVersion()
{
    calls.push_back("GetVersion");
    return version;
}

int RecordingSoundLibrary::BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *)
{
    calls.push_back("Init(" + std::to_string(device) + "," + std::to_string(freq) + ","
        + std::to_string(flags) + ")");
    return initResult;
}

int RecordingSoundLibrary::BASS_Start()
{
    calls.push_back("Start");
    return 1;
}

sound::HSAMPLE RecordingSoundLibrary::BASS_SampleLoad(
    int, const void *, std::uint32_t, std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    const sound::HSAMPLE handle = m_nextHandle++;
    calls.push_back("SampleLoad(len=" + std::to_string(length) + ",max=" + std::to_string(max)
        + ",flags=" + std::to_string(flags) + ")=" + std::to_string(handle));
    return handle;
}

std::uint32_t RecordingSoundLibrary::BASS_SamplePlay(sound::HSAMPLE handle)
{
    calls.push_back("SamplePlay(" + std::to_string(handle) + ")");
    return handle;
}

int RecordingSoundLibrary::BASS_SampleStop(sound::HSAMPLE handle)
{
    calls.push_back("SampleStop(" + std::to_string(handle) + ")");
    return 1;
}

void RecordingSoundLibrary::BASS_SampleFree(sound::HSAMPLE handle)
{
    calls.push_back("SampleFree(" + std::to_string(handle) + ")");
}

int RecordingSoundLibrary::BASS_GetVolume()
{
    calls.push_back("GetVolume");
    return volume;
}

int RecordingSoundLibrary::BASS_SetVolume(int newVolume)
{
    calls.push_back("SetVolume(" + std::to_string(newVolume) + ")");
    volume = newVolume;
    return 1;
}

int RecordingSoundLibrary::BASS_Stop()
{
    calls.push_back("Stop");
    return 1;
}

void RecordingSoundLibrary::BASS_Free()
{
    calls.push_back("Free");
}

} // namespace dorvel::test
