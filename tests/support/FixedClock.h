#pragma once

#include "platform/Clock.h"

#include <cstdint>

namespace dorvel::test {

/// A clock that always says the same time of day, so that the dice' seed, and
/// with it every roll, is the same in every run. The time may be set between
/// games.
class FixedClock final : public platform::Clock
{
public:
    static constexpr std::uint32_t kNoon = 43'200'000;

    explicit FixedClock(std::uint32_t ms = kNoon)
        : value(ms)
    {
    }
    std::uint32_t millisecondsSinceMidnightUtc() const override { return value; }

    std::uint32_t value;
};

} // namespace dorvel::test
