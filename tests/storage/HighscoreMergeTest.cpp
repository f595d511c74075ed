// Pins down the merge of one player's total into the high-score list: who enters,
// where, and which bytes travel with a moved entry. The end of a game (file, every
// player) is tested through the real table in game/GameTableTest.cpp.
#include "support/Files.h"

#include "storage/ConfigRecord.h"
#include "storage/HighscoreMerge.h"

#include <gtest/gtest.h>

#include <utility>

using namespace dorvel::storage;
using namespace dorvel::test;

namespace {

struct Result
{
    std::int32_t total;
    QString name;
};

// The list after the given players' totals were entered one after the other.
ConfigRecord merged(ConfigRecord list, const std::vector<Result> &players)
{
    for (const Result &player : players)
        enterHighscore(list, player.total, player.name);
    return list;
}

// A list with the given points, named "E1".."E20" after their original slot.
ConfigRecord listWithPoints(const std::vector<std::int32_t> &points)
{
    ConfigRecord record;
    for (int k = 1; k <= kHighscoreCount; ++k) {
        HighscoreEntry &entry = record.highscores[k - 1];
        entry.setName(QStringLiteral("E%1").arg(k));
        entry.points = points.at(k - 1);
    }
    return record;
}

std::vector<std::int32_t> descending(std::int32_t top, std::int32_t step)
{
    std::vector<std::int32_t> points;
    for (int k = 0; k < kHighscoreCount; ++k)
        points.push_back(top - k * step);
    return points;
}

// "name:points" for every entry, to compare whole lists at a glance.
std::vector<std::string> listed(const ConfigRecord &record)
{
    std::vector<std::string> rows;
    for (const HighscoreEntry &entry : record.highscores)
        rows.push_back(entry.name().toStdString() + ":" + std::to_string(entry.points));
    return rows;
}

} // namespace

TEST(HighscoreMerge, NobodyEntersAndEveryByteStays)
{
    // Every byte distinct, fillers and unused name bytes included; all points 0.
    ConfigRecord record = patternedRecord(17);
    for (HighscoreEntry &entry : record.highscores)
        entry.points = 0;
    const ConfigRecord after
        = merged(record, { { 0, QStringLiteral("Anna") }, { -5, QStringLiteral("Bert") } });
    EXPECT_EQ(recordBytes(after), recordBytes(record));
}

TEST(HighscoreMerge, EmptyListTakesTheNameThroughEverySlot)
{
    const ConfigRecord after = merged(ConfigRecord {}, { { 57, QStringLiteral("Anna") } });
    std::vector<std::string> expected(kHighscoreCount, ":0");
    expected[0] = "Anna:57";
    EXPECT_EQ(listed(after), expected);
    // The name was written into slot 20 and moved up; the slots it passed keep
    // its characters behind their empty names, as unused bytes.
    EXPECT_EQ(after.highscores[19].nameLength, 0);
    EXPECT_EQ(after.highscores[19].nameChars[0], 'A');
}

// Who enters and where: each case starts from a list named "E1".."E20" after the
// original slots and checks the given ranks afterwards.
struct MergeCase
{
    const char *name;
    std::vector<std::int32_t> points;
    std::vector<Result> players;
    std::vector<std::pair<int, std::string>> expected; // rank 1..20, "name:points"
};

class HighscoreMergeCases : public testing::TestWithParam<MergeCase>
{
};

TEST_P(HighscoreMergeCases, PlacesTheTotals)
{
    const MergeCase &c = GetParam();
    const std::vector<std::string> rows = listed(merged(listWithPoints(c.points), c.players));
    for (const auto &[rank, row] : c.expected)
        EXPECT_EQ(rows.at(rank - 1), row) << "rank " << rank;
}

std::vector<std::int32_t> withTies()
{
    // Entries 3..5 share 165 points; entries 6..20 are lower.
    std::vector<std::int32_t> points = descending(200, 10);
    points[2] = points[3] = points[4] = 165;
    return points;
}

INSTANTIATE_TEST_SUITE_P(HighscoreMerge, HighscoreMergeCases,
    testing::Values(MergeCase { "OnePointIntoZerosBecomesFirst", descending(0, 0),
                        { { 1, "Anna" } }, { { 1, "Anna:1" }, { 2, "E1:0" }, { 20, "E19:0" } } },
        MergeCase { "EqualToTheLastStaysOut", descending(200, 10), { { 10, "Equal" } },
            { { 19, "E19:20" }, { 20, "E20:10" } } },
        MergeCase { "OneMoreThanTheLastEnters", descending(200, 10), { { 11, "Above" } },
            { { 19, "E19:20" }, { 20, "Above:11" } } },
        MergeCase { "NewBestPushesAllDownAndDropsTheLast", descending(200, 10),
            { { 500, "Champion" } }, { { 1, "Champion:500" }, { 2, "E1:200" }, { 20, "E19:20" } } },
        MergeCase { "EqualPointsStayBelowOlderEntries", withTies(), { { 165, "Late" } },
            { { 5, "E5:165" }, { 6, "Late:165" }, { 7, "E6:150" } } },
        MergeCase { "EqualPlayersStandInPlayerOrder", descending(0, 0),
            { { 80, "First" }, { 120, "Second" }, { 80, "Third" } },
            { { 1, "Second:120" }, { 2, "First:80" }, { 3, "Third:80" }, { 4, "E1:0" } } },
        // 300, 290, ..., 110; the totals come in no particular order and all stay.
        MergeCase { "FourPlayersLandWhereTheyBelong", descending(300, 10),
            { { 205, "P1" }, { 999, "P2" }, { 155, "P3" }, { 295, "P4" } },
            { { 1, "P2:999" }, { 2, "E1:300" }, { 3, "P4:295" }, { 4, "E2:290" }, { 12, "E10:210" },
                { 13, "P1:205" }, { 14, "E11:200" }, { 18, "E15:160" }, { 19, "P3:155" },
                { 20, "E16:150" } } },
        MergeCase { "ComparisonIsSigned", descending(-1, 1), { { -20, "Same" }, { -19, "Better" } },
            { { 19, "E19:-19" }, { 20, "Better:-19" } } }),
    [](const testing::TestParamInfo<MergeCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST(HighscoreMerge, LongNameIsCutToTen)
{
    const Bytes bytes = recordBytes(
        merged(ConfigRecord {}, { { 42, QStringLiteral("Bartholomäus-Friedrich") } }));
    EXPECT_EQ(bytes[4], 10);
    const Bytes name(bytes.begin() + 5, bytes.begin() + 15);
    EXPECT_EQ(name, (Bytes { 'B', 'a', 'r', 't', 'h', 'o', 'l', 'o', 'm', 0xE4 }));
    EXPECT_EQ(bytes[15], 0); // the filler byte stays what it was
}

// A moved entry takes its length and the name bytes in use; the bytes behind
// the name and the filler byte belong to the slot and stay there.
TEST(HighscoreMerge, UnusedNameBytesAndFillerStayWithTheirSlot)
{
    ConfigRecord list = listWithPoints(descending(200, 10));
    for (int k = 1; k <= kHighscoreCount; ++k) {
        HighscoreEntry &entry = list.highscores[k - 1];
        for (int i = entry.nameLength; i < kMaxNameLength; ++i)
            entry.nameChars[i] = static_cast<std::uint8_t>(0xA0 + k);
        entry.filler = static_cast<std::uint8_t>(k);
    }
    list.soundOn = 1;
    list.filler = { 0xBE, 0xEF };
    list.highscores[3].nameLength = 200; // damaged: shown and moved as 10 characters
    // Enters as entry 4.
    const ConfigRecord after = merged(list, { { 175, QStringLiteral("Abcdefg") } });
    EXPECT_EQ(after.soundOn, 1);
    EXPECT_EQ(after.filler, (std::array<std::uint8_t, 2> { 0xBE, 0xEF }));
    for (int k = 1; k <= kHighscoreCount; ++k)
        EXPECT_EQ(after.highscores[k - 1].filler, k) << k;

    // Slot 4 now holds the 7-character new name over its own old bytes.
    const HighscoreEntry &slot4 = after.highscores[3];
    EXPECT_EQ(slot4.name(), QStringLiteral("Abcdefg"));
    EXPECT_EQ(slot4.nameChars[7], 0xA4);
    // Slot 5 took the damaged entry as 10 characters: "E4" plus its old tail.
    const HighscoreEntry &slot5 = after.highscores[4];
    EXPECT_EQ(slot5.nameLength, 10);
    EXPECT_EQ(slot5.name().left(2), QStringLiteral("E4"));
    EXPECT_EQ(slot5.nameChars[9], 0xA4);
    // Slot 6 took "E5" (2 bytes) over what the new name left passing through
    // ("cdefg"); its last three bytes are still its own.
    const HighscoreEntry &slot6 = after.highscores[5];
    EXPECT_EQ(slot6.name(), QStringLiteral("E5"));
    EXPECT_EQ(slot6.nameChars[2], 'c');
    EXPECT_EQ(slot6.nameChars[7], 0xA6);
    // Slot 20 got "E19" over the new name, which had been written over "E20".
    const HighscoreEntry &slot20 = after.highscores[19];
    EXPECT_EQ(slot20.name(), QStringLiteral("E19"));
    EXPECT_EQ(slot20.nameChars[3], 'd');
    EXPECT_EQ(slot20.nameChars[7], 0xB4);
}
