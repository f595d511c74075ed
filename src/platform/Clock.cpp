#include "Clock.h"

#include <chrono>

namespace dorvel::platform {

namespace {

    class SystemClock final : public Clock
    {
    public:
        std::uint32_t millisecondsSinceMidnightUtc() const override
        {
            using namespace std::chrono;
            const auto now = time_point_cast<milliseconds>(system_clock::now());
            const auto sinceMidnight = now - floor<days>(now);
            return static_cast<std::uint32_t>(sinceMidnight.count());
        }
    };

} // namespace

Clock &systemClock()
{
    static SystemClock clock;
    return clock;
}

} // namespace dorvel::platform
