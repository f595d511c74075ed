#include "ScoringRules.h"

#include <initializer_list>

namespace dorvel::game {

namespace {

    // True when every value of the run shows on at least one die.
    bool containsAll(const Dice &dice, std::initializer_list<int> values)
    {
        for (int v : values) {
            if (countValue(dice, v) == 0)
                return false;
        }
        return true;
    }

    // The sum of all dice when some value shows on more than `minimum - 1` dice.
    std::int32_t scoreOfAKind(const Dice &dice, int minimum)
    {
        for (int v = 1; v <= 6; ++v) {
            if (countValue(dice, v) >= minimum)
                return scoreChance(dice);
        }
        return 0;
    }

} // namespace

int countValue(const Dice &dice, int v)
{
    int count = 0;
    for (std::uint8_t value : dice) {
        if (value == v)
            ++count;
    }
    return count;
}

bool isFiveOfAKind(const Dice &dice)
{
    return countValue(dice, dice[0]) == 5;
}

std::int32_t scoreUpper(const Dice &dice, int v)
{
    return v * countValue(dice, v);
}

std::int32_t scoreThreeOfAKind(const Dice &dice)
{
    return scoreOfAKind(dice, 3);
}

std::int32_t scoreFourOfAKind(const Dice &dice)
{
    return scoreOfAKind(dice, 4);
}

std::int32_t scoreFullHouse(const Dice &dice)
{
    bool three = false;
    bool two = false;
    for (int v = 1; v <= 6; ++v) {
        const int count = countValue(dice, v);
        three = three || count == 3;
        two = two || count == 2;
    }
    return three && two ? 25 : 0;
}

std::int32_t scoreSmallStraight(const Dice &dice)
{
    const bool hit = containsAll(dice, { 1, 2, 3, 4 }) || containsAll(dice, { 2, 3, 4, 5 })
        || containsAll(dice, { 3, 4, 5, 6 });
    return hit ? 30 : 0;
}

std::int32_t scoreLargeStraight(const Dice &dice)
{
    const bool hit = containsAll(dice, { 1, 2, 3, 4, 5 }) || containsAll(dice, { 2, 3, 4, 5, 6 });
    return hit ? 40 : 0;
}

std::int32_t scoreChance(const Dice &dice)
{
    std::int32_t sum = 0;
    for (std::uint8_t value : dice)
        sum += value;
    return sum;
}

std::int32_t scoreRow(const Dice &dice, int row)
{
    if (row >= 1 && row <= 6)
        return scoreUpper(dice, row);
    switch (row) {
    case 7:
        return scoreThreeOfAKind(dice);
    case 8:
        return scoreFourOfAKind(dice);
    case 9:
        return scoreFullHouse(dice);
    case 10:
        return scoreSmallStraight(dice);
    case 11:
        return scoreLargeStraight(dice);
    case kFiveOfAKindRow:
        return isFiveOfAKind(dice) ? kFirstFiveOfAKind : 0;
    case 13:
        return scoreChance(dice);
    default:
        return 0;
    }
}

RowEntry enterRow(const Dice &dice, int row, std::int32_t entry)
{
    if (row != kFiveOfAKindRow)
        return { scoreRow(dice, row), false };
    if (!isFiveOfAKind(dice))
        return { entry, false };
    if (entry > 0)
        return { entry + kFurtherFiveOfAKind, true };
    return { entry + kFirstFiveOfAKind, false };
}

ColumnSums columnSums(const ColumnScores &rows)
{
    ColumnSums sums {};
    for (int r = 0; r < 6; ++r)
        sums[0] += rows[static_cast<std::size_t>(r)];
    sums[1] = sums[0] >= kBonusThreshold ? kBonus : 0;
    sums[2] = sums[0] + sums[1];
    for (int r = 6; r < 13; ++r)
        sums[3] += rows[static_cast<std::size_t>(r)];
    sums[4] = sums[2] + sums[3];
    return sums;
}

} // namespace dorvel::game
