// Pins down the thirteen row scores, asked by rule and by row number, the
// bonuses of row 12, the five column sums with the upper bonus, and the dice's
// random generator sequence.
#include "game/ScoringRules.h"
#include "game/RandomGenerator.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace dorvel::game {

void PrintTo(const RowEntry &entry, std::ostream *out)
{
    *out << entry.score << (entry.extraTurn ? " and an extra turn" : "");
}

namespace {

    struct RowCase
    {
        std::string name;
        Dice dice;
        // Expected scores of rows 1..6, 7, 8, 9, 10, 11, 13; five of a kind.
        std::array<std::int32_t, 6> upper;
        std::int32_t threeOfAKind, fourOfAKind, fullHouse, smallStraight, largeStraight, chance;
        bool fiveOfAKind;
    };

    class RowScores : public testing::TestWithParam<RowCase>
    {
    };

    TEST_P(RowScores, EveryRowScoresAsTheRulesSay)
    {
        const RowCase &c = GetParam();
        for (int v = 1; v <= 6; ++v)
            EXPECT_EQ(scoreUpper(c.dice, v), c.upper[static_cast<std::size_t>(v - 1)])
                << "row " << v;
        EXPECT_EQ(scoreThreeOfAKind(c.dice), c.threeOfAKind);
        EXPECT_EQ(scoreFourOfAKind(c.dice), c.fourOfAKind);
        EXPECT_EQ(scoreFullHouse(c.dice), c.fullHouse);
        EXPECT_EQ(scoreSmallStraight(c.dice), c.smallStraight);
        EXPECT_EQ(scoreLargeStraight(c.dice), c.largeStraight);
        EXPECT_EQ(scoreChance(c.dice), c.chance);
        EXPECT_EQ(isFiveOfAKind(c.dice), c.fiveOfAKind);
    }

    TEST_P(RowScores, EachRowNumberAsksItsOwnRule)
    {
        const RowCase &c = GetParam();
        const std::array<std::int32_t, kRowCount> byRow { c.upper[0], c.upper[1], c.upper[2],
            c.upper[3], c.upper[4], c.upper[5], c.threeOfAKind, c.fourOfAKind, c.fullHouse,
            c.smallStraight, c.largeStraight, c.fiveOfAKind ? kFirstFiveOfAKind : 0, c.chance };
        for (int r = 1; r <= kRowCount; ++r)
            EXPECT_EQ(scoreRow(c.dice, r), byRow[static_cast<std::size_t>(r - 1)]) << "row " << r;
    }

    INSTANTIATE_TEST_SUITE_P(Dice, RowScores,
        testing::Values(
            // Five equal dice count as three and four of a kind, never as a full house.
            RowCase {
                "Ones11111", { 1, 1, 1, 1, 1 }, { 5, 0, 0, 0, 0, 0 }, 5, 5, 0, 0, 0, 5, true },
            RowCase {
                "Sixes66666", { 6, 6, 6, 6, 6 }, { 0, 0, 0, 0, 0, 30 }, 30, 30, 0, 0, 0, 30, true },
            RowCase { "FullHouse33355", { 3, 3, 3, 5, 5 }, { 0, 0, 9, 0, 10, 0 }, 19, 0, 25, 0, 0,
                19, false },
            RowCase { "FullHouseShuffled52525", { 5, 2, 5, 2, 5 }, { 0, 4, 0, 0, 15, 0 }, 19, 0, 25,
                0, 0, 19, false },
            RowCase { "LargeStraight23456", { 2, 3, 4, 5, 6 }, { 0, 2, 3, 4, 5, 6 }, 0, 0, 0, 30,
                40, 20, false },
            RowCase { "LargeStraightLow54321", { 5, 4, 3, 2, 1 }, { 1, 2, 3, 4, 5, 0 }, 0, 0, 0, 30,
                40, 15, false },
            RowCase { "SmallStraightLow12346", { 1, 2, 3, 4, 6 }, { 1, 2, 3, 4, 0, 6 }, 0, 0, 0, 30,
                0, 16, false },
            RowCase { "SmallStraightHigh13456", { 1, 3, 4, 5, 6 }, { 1, 0, 3, 4, 5, 6 }, 0, 0, 0,
                30, 0, 19, false },
            RowCase { "SmallStraightWithPair34563", { 3, 4, 5, 6, 3 }, { 0, 0, 6, 4, 5, 6 }, 0, 0,
                0, 30, 0, 21, false },
            RowCase { "NoStraightGap12456", { 1, 2, 4, 5, 6 }, { 1, 2, 0, 4, 5, 6 }, 0, 0, 0, 0, 0,
                18, false },
            RowCase { "FourOfAKind66662", { 6, 6, 6, 6, 2 }, { 0, 2, 0, 0, 0, 24 }, 26, 26, 0, 0, 0,
                26, false },
            RowCase { "TwoPairs11223", { 1, 1, 2, 2, 3 }, { 2, 4, 3, 0, 0, 0 }, 0, 0, 0, 0, 0, 9,
                false }),
        [](const testing::TestParamInfo<RowCase> &rowCase) { return rowCase.param.name; });

    TEST(EnterRow, RowTwelveAddsItsBonusesAndEveryOtherRowIsScoredAfresh)
    {
        struct Case
        {
            const char *what;
            Dice dice;
            int row;
            std::int32_t entry;
            RowEntry expected;
        };
        const Case cases[] = {
            { "first five of a kind", { 4, 4, 4, 4, 4 }, 12, 0, { 50, false } },
            { "second five of a kind", { 4, 4, 4, 4, 4 }, 12, 50, { 150, true } },
            { "third, of other dice", { 2, 2, 2, 2, 2 }, 12, 150, { 250, true } },
            { "row 12 without five of a kind", { 1, 2, 3, 4, 5 }, 12, 0, { 0, false } },
            { "five of a kind in chance", { 4, 4, 4, 4, 4 }, 13, 0, { 20, false } },
            { "full house", { 3, 3, 3, 5, 5 }, 9, 0, { 25, false } },
            { "sixes", { 6, 6, 1, 6, 2 }, 6, 0, { 18, false } },
        };
        for (const Case &c : cases)
            EXPECT_EQ(enterRow(c.dice, c.row, c.entry), c.expected) << c.what;
    }

    TEST(CountValue, CountsTheDiceShowingAValue)
    {
        const Dice dice { 4, 1, 4, 6, 4 };
        EXPECT_EQ(countValue(dice, 4), 3);
        EXPECT_EQ(countValue(dice, 1), 1);
        EXPECT_EQ(countValue(dice, 2), 0);
    }

    ColumnScores upperRows(std::array<std::int32_t, 6> upper)
    {
        ColumnScores rows {};
        for (std::size_t i = 0; i < 6; ++i)
            rows[i] = upper[i];
        return rows;
    }

    TEST(ColumnSums, AnEmptyColumnSumsToZero)
    {
        EXPECT_EQ(columnSums(ColumnScores {}), (ColumnSums { 0, 0, 0, 0, 0 }));
    }

    TEST(ColumnSums, UpperSumOf63EarnsTheBonus)
    {
        // 3 × each value: 3 + 6 + 9 + 12 + 15 + 18 = 63.
        const ColumnSums sums = columnSums(upperRows({ 3, 6, 9, 12, 15, 18 }));
        EXPECT_EQ(sums, (ColumnSums { 63, 35, 98, 0, 98 }));
    }

    TEST(ColumnSums, UpperSumOf62EarnsNoBonus)
    {
        const ColumnSums sums = columnSums(upperRows({ 2, 6, 9, 12, 15, 18 }));
        EXPECT_EQ(sums, (ColumnSums { 62, 0, 62, 0, 62 }));
    }

    TEST(ColumnSums, LowerSumCountsRowTwelveWithItsBonuses)
    {
        ColumnScores rows = upperRows({ 5, 10, 15, 20, 25, 30 });
        rows[6] = 28; // three of a kind
        rows[8] = 25; // full house
        rows[11] = 250; // five of a kind, twice repeated
        rows[12] = 17; // chance
        const ColumnSums sums = columnSums(rows);
        EXPECT_EQ(sums, (ColumnSums { 105, 35, 140, 320, 460 }));
    }

    // The reference: the generator's recurrence written out with 64-bit products.
    std::vector<int> referenceDice(std::uint64_t seed, int count)
    {
        std::vector<int> values;
        for (int i = 0; i < count; ++i) {
            seed = (seed * 134775813ull + 1ull) & 0xFFFFFFFFull;
            values.push_back(static_cast<int>((seed * 6ull) >> 32) + 1);
        }
        return values;
    }

    TEST(RandomGenerator, KnownSeedsGiveKnownDice)
    {
        struct Known
        {
            std::uint32_t seed;
            std::vector<int> dice;
        };
        const std::vector<Known> known {
            { 0, { 1, 1, 6, 2, 2 } },
            { 1, { 1, 6, 2, 2, 5 } },
            { 43200000, { 3, 3, 5, 2, 3 } }, // noon
            { 86399999, { 5, 6, 3, 2, 1 } }, // the last millisecond of a day
            { 12345678, { 4, 4, 1, 6, 3 } },
        };
        for (const Known &k : known) {
            RandomGenerator random;
            random.seed = k.seed;
            std::vector<int> drawn;
            for (int i = 0; i < 5; ++i)
                drawn.push_back(random.nextDie());
            EXPECT_EQ(drawn, k.dice) << "seed " << k.seed;
            EXPECT_EQ(drawn, referenceDice(k.seed, 5)) << "seed " << k.seed;
        }
    }

    TEST(RandomGenerator, SeedAdvancesModulo2To32)
    {
        RandomGenerator random;
        random.seed = 3698175007u; // the third seed after 0: the product overflows 32 bits
        random.nextDie();
        EXPECT_EQ(random.seed, 870078620u);
    }

    TEST(RandomGenerator, ValuesStayInOneToSixAndAllOccur)
    {
        RandomGenerator random;
        random.seed = 777;
        std::array<int, 7> seen {};
        for (int i = 0; i < 6000; ++i) {
            const int v = random.nextDie();
            ASSERT_GE(v, 1);
            ASSERT_LE(v, 6);
            ++seen[static_cast<std::size_t>(v)];
        }
        for (int v = 1; v <= 6; ++v)
            EXPECT_GT(seen[static_cast<std::size_t>(v)], 800) << "value " << v;
    }

} // namespace
} // namespace dorvel::game
