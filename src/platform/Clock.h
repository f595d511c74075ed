#pragma once

#include <cstdint>

namespace dorvel::platform {

/// The time of day, behind an interface so tests can fix the random seed.
class Clock
{
public:
    virtual ~Clock() = default;
    /// Milliseconds since midnight UTC: ((h * 60 + m) * 60 + s) * 1000 + ms.
    virtual std::uint32_t millisecondsSinceMidnightUtc() const = 0;
};

/// The system clock.
Clock &systemClock();

} // namespace dorvel::platform
