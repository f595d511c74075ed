#pragma once

#include <array>
#include <cstdint>

namespace dorvel::game {

/// The five die values, dice 1..5 at indexes 0..4, each 1..6.
using Dice = std::array<std::uint8_t, 5>;
/// One player's rows 1..13 at indexes 0..12; an empty row counts as 0.
using ColumnScores = std::array<std::int32_t, 13>;
/// One player's sums 1..5 at indexes 0..4: upper sum, bonus, upper total,
/// lower sum, grand total.
using ColumnSums = std::array<std::int32_t, 5>;

/// Upper sum from which the bonus is paid, and the bonus itself.
inline constexpr std::int32_t kBonusThreshold = 63;
inline constexpr std::int32_t kBonus = 35;
/// Row 12: the first five of a kind, and each further one.
inline constexpr std::int32_t kFirstFiveOfAKind = 50;
inline constexpr std::int32_t kFurtherFiveOfAKind = 100;
/// The rows of a column, and the one row that can be scored more than once.
inline constexpr int kRowCount = 13;
inline constexpr int kFiveOfAKindRow = 12;

/// Number of dice showing v (0..5).
int countValue(const Dice &dice, int v);
bool isFiveOfAKind(const Dice &dice);
/// Rows 1..6: v × the number of dice showing v.
std::int32_t scoreUpper(const Dice &dice, int v);
/// Row 7: the sum of all dice when some value shows at least three times.
std::int32_t scoreThreeOfAKind(const Dice &dice);
/// Row 8: the sum of all dice when some value shows at least four times.
std::int32_t scoreFourOfAKind(const Dice &dice);
/// Row 9: 25 for exactly three of one value and exactly two of another.
std::int32_t scoreFullHouse(const Dice &dice);
/// Row 10: 30 for 1-2-3-4, 2-3-4-5 or 3-4-5-6.
std::int32_t scoreSmallStraight(const Dice &dice);
/// Row 11: 40 for 1-2-3-4-5 or 2-3-4-5-6.
std::int32_t scoreLargeStraight(const Dice &dice);
/// Row 13: the sum of all dice.
std::int32_t scoreChance(const Dice &dice);

/// What row `row` (1..13) scores for these dice when it is still empty: the
/// rules above, and for row 12 the first five of a kind or nothing.
std::int32_t scoreRow(const Dice &dice, int row);

/// A row's entry once chosen, and whether the same player rolls again.
struct RowEntry
{
    std::int32_t score = 0;
    bool extraTurn = false;
    bool operator==(const RowEntry &) const = default;
};
/// Choosing row `row` (1..13) whose entry is `entry` now: row 12 with five of a
/// kind adds the first bonus to an empty entry, and to a scored one the further
/// bonus with an extra turn; every other row is entered as scoreRow says.
RowEntry enterRow(const Dice &dice, int row, std::int32_t entry);

/// The five sums of a column (row 12 counts with all its bonuses).
ColumnSums columnSums(const ColumnScores &rows);

} // namespace dorvel::game
