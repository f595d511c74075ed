#pragma once

#include <cstdint>

namespace dorvel::game {

/**
 * The dice's pseudo-random generator: a 32-bit linear congruential generator,
 * seed := seed × 134775813 + 1 (mod 2^32); a draw in 0..range−1 is the upper
 * 32 bits of the 64-bit product of the new seed and the range.
 */
class RandomGenerator
{
public:
    std::uint32_t seed = 0;

    /// The next value in 0..range−1.
    std::uint32_t next(std::uint32_t range)
    {
        seed = seed * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * range) >> 32);
    }

    /// The next die value 1..6.
    std::uint8_t nextDie() { return static_cast<std::uint8_t>(next(6) + 1); }
};

} // namespace dorvel::game
