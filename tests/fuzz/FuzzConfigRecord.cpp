// The settings record in memory: 324 bytes (short input padded with zeros) parsed,
// the switches stored, up to four totals and names from the rest merged, checking
// byte-exact round trips and the list's order. fuzz_config covers the file paths.
#include "storage/ConfigRecord.h"
#include "storage/HighscoreMerge.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace dorvel::storage;

static bool sorted(const ConfigRecord &r)
{
    return std::is_sorted(r.highscores.rbegin(), r.highscores.rend(),
        [](const HighscoreEntry &a, const HighscoreEntry &b) { return a.points < b.points; });
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::array<std::uint8_t, kConfigRecordSize> bytes {};
    const std::size_t head = std::min(size, kConfigRecordSize);
    if (head > 0)
        std::memcpy(bytes.data(), data, head);
    data += head;
    size -= head;

    // Every byte, fillers and unused name bytes included, survives; storing the
    // switches changes bytes 0 and 1 and nothing else.
    const ConfigRecord record = ConfigRecord::fromBytes(bytes);
    ConfigRecord switched = record;
    switched.soundOn = bytes[1] & 1;
    switched.musicOn = bytes[0] & 1;
    auto expected = bytes;
    expected[0] = bytes[1] & 1;
    expected[1] = bytes[0] & 1;
    if (record.toBytes() != bytes || switched.toBytes() != expected)
        std::abort();

    // Per player: 4 bytes of total, a length byte, that many Latin-1 name bytes.
    ConfigRecord merged = record;
    for (int player = 0; player < 4 && size >= 5; ++player) {
        std::int32_t total = 0;
        std::memcpy(&total, data, sizeof total);
        const std::size_t length = std::min<std::size_t>(data[4], size - 5);
        const std::uint8_t *nameBytes = data + 5;
        const QString name = QString::fromLatin1(
            reinterpret_cast<const char *>(nameBytes), static_cast<qsizetype>(length));
        data += 5 + length;
        size -= 5 + length;

        const ConfigRecord before = merged;
        enterHighscore(merged, total, name);
        // A total above entry 20, and only that, changes the list; it keeps a
        // sorted list sorted, stands in it under its name as stored, and the
        // bytes outside the entries stay.
        const bool entered = total > before.highscores[kHighscoreCount - 1].points;
        std::array<std::uint8_t, kMaxNameLength> stored {};
        const std::size_t storedLength = std::min<std::size_t>(length, kMaxNameLength);
        for (std::size_t i = 0; i < storedLength; ++i)
            stored[i] = encodeWindows1252(nameBytes[i]); // Latin-1 byte = code point
        const bool found = std::any_of(
            merged.highscores.begin(), merged.highscores.end(), [&](const HighscoreEntry &e) {
                return e.points == total && std::size_t(e.usedLength()) == storedLength
                    && std::equal(
                        stored.begin(), stored.begin() + storedLength, e.nameChars.begin());
            });
        if (entered != (merged != before) || (entered && !found)
            || (sorted(before) && !sorted(merged))
            || !std::equal(bytes.begin(), bytes.begin() + 4, merged.toBytes().begin()))
            std::abort();
    }
    return 0;
}
