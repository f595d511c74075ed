// Pins down the 324-byte layout of the settings record (little-endian fields at
// fixed offsets, every byte kept) and the Windows-1252 names stored in it.
#include "support/Files.h"

#include "storage/ConfigRecord.h"

#include <gtest/gtest.h>

#include <limits>

using namespace dorvel::storage;

TEST(ConfigRecord, EveryByteSurvivesARoundTrip)
{
    std::array<std::uint8_t, kConfigRecordSize> bytes {};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 5);
    EXPECT_EQ(ConfigRecord::fromBytes(bytes).toBytes(), bytes);
}

TEST(ConfigRecord, FieldsLieAtTheirOffsets)
{
    ConfigRecord record;
    record.soundOn = 1;
    record.musicOn = 2;
    record.filler = { 3, 4 };
    record.highscores[0].nameLength = 5;
    record.highscores[0].nameChars[0] = 'A';
    record.highscores[0].nameChars[9] = 'Z';
    record.highscores[0].filler = 0x77;
    record.highscores[0].points = 0x12345678;
    record.highscores[19].nameLength = 9;
    record.highscores[19].points = -2;
    const auto bytes = record.toBytes();

    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(bytes[4], 5);
    EXPECT_EQ(bytes[5], 'A');
    EXPECT_EQ(bytes[14], 'Z');
    EXPECT_EQ(bytes[15], 0x77);
    EXPECT_EQ(bytes[16], 0x78);
    EXPECT_EQ(bytes[17], 0x56);
    EXPECT_EQ(bytes[18], 0x34);
    EXPECT_EQ(bytes[19], 0x12);
    EXPECT_EQ(bytes[308], 9); // entry 20
    EXPECT_EQ(bytes[320], 0xFE);
    EXPECT_EQ(bytes[323], 0xFF);
}

TEST(ConfigRecord, PointsAreSigned)
{
    std::array<std::uint8_t, kConfigRecordSize> bytes {};
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = 0xFF; // entry 1
        bytes[4 + 16 * 7 + 12 + i] = i == 3 ? 0x80 : 0x00; // entry 8
    }
    const ConfigRecord record = ConfigRecord::fromBytes(bytes);
    EXPECT_EQ(record.highscores[0].points, -1);
    EXPECT_EQ(record.highscores[7].points, std::numeric_limits<std::int32_t>::min());
}

TEST(HighscoreEntry, NameIsCutToTenCharactersAndKeepsUnusedBytes)
{
    HighscoreEntry entry;
    entry.nameChars.fill('#');
    entry.filler = 0x5A;

    entry.setName(QStringLiteral("ABCDEFGHIJ"));
    EXPECT_EQ(entry.nameLength, 10);
    EXPECT_EQ(entry.name(), QStringLiteral("ABCDEFGHIJ"));
    EXPECT_EQ(entry.filler, 0x5A);

    entry.setName(QStringLiteral("Maximilianus"));
    EXPECT_EQ(entry.name(), QStringLiteral("Maximilian"));

    entry.setName(QStringLiteral("Bo"));
    EXPECT_EQ(entry.nameLength, 2);
    EXPECT_EQ(entry.name(), QStringLiteral("Bo"));
    EXPECT_EQ(entry.nameChars[2], 'x'); // left over from "Maximilian"
    EXPECT_EQ(entry.nameChars[9], 'n');

    entry.setName(QString());
    EXPECT_EQ(entry.nameLength, 0);
    EXPECT_EQ(entry.name(), QString());
}

TEST(HighscoreEntry, DamagedLengthIsTakenAsTen)
{
    HighscoreEntry entry;
    entry.nameLength = 200;
    entry.nameChars.fill('k');
    EXPECT_EQ(entry.usedLength(), 10);
    EXPECT_EQ(entry.name(), QString(10, QLatin1Char('k')));
}

TEST(Windows1252, GermanAndWesternCharactersRoundTrip)
{
    HighscoreEntry entry;
    entry.setName(QStringLiteral("äöüßé€ŒÄ"));
    const std::array<std::uint8_t, 8> expected = { 0xE4, 0xF6, 0xFC, 0xDF, 0xE9, 0x80, 0x8C, 0xC4 };
    ASSERT_EQ(entry.nameLength, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(entry.nameChars[i], expected[i]) << i;
    EXPECT_EQ(entry.name(), QStringLiteral("äöüßé€ŒÄ"));
}

TEST(Windows1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    HighscoreEntry entry;
    // Polish L with stroke, a Cyrillic letter, an emoji (two UTF-16 units, one
    // character) and U+0080, which Windows-1252 spends on the euro sign.
    entry.setName(QStringLiteral("AŁЖ\U0001F600\u0080B"));
    EXPECT_EQ(entry.nameLength, 6);
    EXPECT_EQ(entry.name(), QStringLiteral("A????B"));
}

TEST(Windows1252, EveryByteDecodesAndEncodesBackToItself)
{
    for (int byte = 0; byte < 256; ++byte) {
        const QChar c = decodeWindows1252(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(encodeWindows1252(c.unicode()), byte) << byte;
    }
    EXPECT_EQ(decodeWindows1252(0x80), QChar(0x20AC));
    EXPECT_EQ(decodeWindows1252(0x9F), QChar(0x0178));
    EXPECT_EQ(decodeWindows1252(0x8D), QChar(0x008D)); // undefined in the code page
}
