#include "ConfigRecord.h"

#include <QList>

#include <algorithm>

namespace dorvel::storage {

namespace {

    constexpr std::size_t kHighscoreOffset = 4;
    constexpr std::size_t kNameOffset = 1;
    constexpr std::size_t kFillerOffset = 11;
    constexpr std::size_t kPointsOffset = 12;

    static_assert(kHighscoreOffset + kHighscoreCount * kHighscoreEntrySize == kConfigRecordSize);

} // namespace

int HighscoreEntry::usedLength() const
{
    return std::min<int>(nameLength, kMaxNameLength);
}

QString HighscoreEntry::name() const
{
    QString text;
    const int length = usedLength();
    text.reserve(length);
    for (int i = 0; i < length; ++i)
        text.append(decodeWindows1252(nameChars[i]));
    return text;
}

void HighscoreEntry::setName(const QString &text)
{
    // Characters, not UTF-16 units: a character outside the basic plane is one
    // '?', not two.
    const QList<uint> codePoints = text.toUcs4();
    const int length = static_cast<int>(std::min<qsizetype>(codePoints.size(), kMaxNameLength));
    for (int i = 0; i < length; ++i)
        nameChars[i] = encodeWindows1252(static_cast<char32_t>(codePoints[i]));
    nameLength = static_cast<std::uint8_t>(length);
}

std::array<std::uint8_t, 324> ConfigRecord::toBytes() const
{
    std::array<std::uint8_t, 324> bytes {};
    bytes[0] = soundOn;
    bytes[1] = musicOn;
    bytes[2] = filler[0];
    bytes[3] = filler[1];
    for (std::size_t k = 0; k < highscores.size(); ++k) {
        const HighscoreEntry &entry = highscores[k];
        const std::size_t base = kHighscoreOffset + k * kHighscoreEntrySize;
        bytes[base] = entry.nameLength;
        std::copy(entry.nameChars.begin(), entry.nameChars.end(),
            bytes.begin() + static_cast<std::ptrdiff_t>(base + kNameOffset));
        bytes[base + kFillerOffset] = entry.filler;
        const auto points = static_cast<std::uint32_t>(entry.points);
        for (std::size_t i = 0; i < 4; ++i)
            bytes[base + kPointsOffset + i] = static_cast<std::uint8_t>(points >> (8 * i));
    }
    return bytes;
}

ConfigRecord ConfigRecord::fromBytes(const std::array<std::uint8_t, 324> &bytes)
{
    ConfigRecord record;
    record.soundOn = bytes[0];
    record.musicOn = bytes[1];
    record.filler = { bytes[2], bytes[3] };
    for (std::size_t k = 0; k < record.highscores.size(); ++k) {
        HighscoreEntry &entry = record.highscores[k];
        const std::size_t base = kHighscoreOffset + k * kHighscoreEntrySize;
        entry.nameLength = bytes[base];
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(base + kNameOffset),
            entry.nameChars.size(), entry.nameChars.begin());
        entry.filler = bytes[base + kFillerOffset];
        std::uint32_t points = 0;
        for (std::size_t i = 0; i < 4; ++i)
            points |= static_cast<std::uint32_t>(bytes[base + kPointsOffset + i]) << (8 * i);
        entry.points = static_cast<std::int32_t>(points);
    }
    return record;
}

} // namespace dorvel::storage
