// A sound library that hands every call on to the real one and adds up the
// time each kind of call takes, so a benchmark can say where start-up goes.
#pragma once

#include "BenchStats.h"

#include "sound/SoundLibrary.h"

#include <map>
#include <memory>
#include <string>

namespace bench {

class TimedSoundLibrary final : public dorvel::sound::SoundLibrary
{
public:
    struct Total
    {
        long long ns = 0;
        int count = 0;
        long long firstAt = 0; // monotonic ns of the first call
    };
    struct Totals
    {
        std::map<std::string, Total> byCall;
    };

    explicit TimedSoundLibrary(std::unique_ptr<dorvel::sound::SoundLibrary> real)
        : m_real(std::move(real))
    {
    }

    Totals totals() const { return m_totals; }

    std::uint32_t BASS_GetVersion() override
    {
        return timed("BASS_GetVersion", [&] { return m_real->BASS_GetVersion(); });
    }
    int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *win) override
    {
        return timed("BASS_Init", [&] { return m_real->BASS_Init(device, freq, flags, win); });
    }
    int BASS_Start() override
    {
        return timed("BASS_Start", [&] { return m_real->BASS_Start(); });
    }
    dorvel::sound::HSAMPLE BASS_SampleLoad(int mem, const void *file, std::uint32_t offset,
        std::uint32_t length, std::uint32_t max, std::uint32_t flags) override
    {
        // The music (the one looping sample) apart: it is the big one.
        const char *name = (flags & dorvel::sound::BASS_SAMPLE_LOOP) ? "BASS_SampleLoad (looping)"
                                                                     : "BASS_SampleLoad";
        return timed(
            name, [&] { return m_real->BASS_SampleLoad(mem, file, offset, length, max, flags); });
    }
    std::uint32_t BASS_SamplePlay(dorvel::sound::HSAMPLE handle) override
    {
        return timed("BASS_SamplePlay", [&] { return m_real->BASS_SamplePlay(handle); });
    }
    int BASS_SampleStop(dorvel::sound::HSAMPLE handle) override
    {
        return timed("BASS_SampleStop", [&] { return m_real->BASS_SampleStop(handle); });
    }
    void BASS_SampleFree(dorvel::sound::HSAMPLE handle) override
    {
        timed("BASS_SampleFree", [&] {
            m_real->BASS_SampleFree(handle);
            return 0;
        });
    }
    int BASS_GetVolume() override
    {
        return timed("BASS_GetVolume", [&] { return m_real->BASS_GetVolume(); });
    }
    int BASS_SetVolume(int volume) override
    {
        return timed("BASS_SetVolume", [&] { return m_real->BASS_SetVolume(volume); });
    }
    int BASS_Stop() override
    {
        return timed("BASS_Stop", [&] { return m_real->BASS_Stop(); });
    }
    void BASS_Free() override
    {
        timed("BASS_Free", [&] {
            m_real->BASS_Free();
            return 0;
        });
    }

private:
    template <typename Call> auto timed(const char *name, Call &&call) -> decltype(call())
    {
        const long long t0 = monotonicNs();
        auto result = call();
        Total &total = m_totals.byCall[name];
        if (!total.firstAt)
            total.firstAt = t0;
        total.ns += monotonicNs() - t0;
        ++total.count;
        return result;
    }

    std::unique_ptr<dorvel::sound::SoundLibrary> m_real;
    Totals m_totals;
};

} // namespace bench
