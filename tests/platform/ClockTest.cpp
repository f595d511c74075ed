// The system clock reports the time of day in UTC milliseconds, the seed of
// every turn's dice.
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(SystemClock, AnswersMillisecondsSinceMidnightUtc)
{
    using namespace std::chrono;
    const auto before
        = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 86'400'000;
    const auto value = dorvel::platform::systemClock().millisecondsSinceMidnightUtc();
    const auto after
        = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 86'400'000;
    EXPECT_LT(value, 86'400'000u);
    if (before <= after) { // not across midnight
        EXPECT_GE(static_cast<long long>(value), before);
        EXPECT_LE(static_cast<long long>(value), after);
    }
}
