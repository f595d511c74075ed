#pragma once

#include <cstdint>

namespace dorvel::dice3d {

/**
 * The states of a turn, as the game table's field GameState holds them: the
 * turn starting, the dice rolling, the dice settling on their faces, the dice at
 * rest (4 is never used). The roll animation moves the dice only while rolling
 * or settling; the table lets dice be held and rows be chosen only when settled.
 */
enum TurnState : std::uint8_t {
    kTurnStarting = 1,
    kRolling = 2,
    kSettling = 3,
    kSettled = 5,
};

} // namespace dorvel::dice3d
