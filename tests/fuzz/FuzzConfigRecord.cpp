// The settings record in memory, without the file: arbitrary 324 bytes (short
// input padded with zeros, as a short file leaves them), then what the callers
// do with them — store the two switches, merge up to four players' totals and
// names taken from the rest of the input — checked for byte-exact round trips
// and an order kept. Fast enough for millions of inputs; fuzz_config keeps the
// file paths covered.
#include "storage/ConfigRecord.h"
#include "storage/HighscoreMerge.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

using Bytes = std::array<std::uint8_t, dorvel::storage::kConfigRecordSize>;

bool sorted(const dorvel::storage::ConfigRecord &record)
{
    for (int k = 1; k < dorvel::storage::kHighscoreCount; ++k) {
        if (record.highscores[k - 1].points < record.highscores[k].points)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace dorvel::storage;
    Bytes bytes {};
    const std::size_t head = std::min(size, kConfigRecordSize);
    if (head > 0)
        std::memcpy(bytes.data(), data, head);
    data += head;
    size -= head;

    // Parsing: every byte, fillers and unused name bytes included, survives.
    ConfigRecord record = ConfigRecord::fromBytes(bytes);
    if (record.toBytes() != bytes)
        std::abort();

    // Storing the switches changes bytes 0 and 1 and nothing else.
    ConfigRecord switched = record;
    switched.soundOn = bytes[1] & 1;
    switched.musicOn = bytes[0] & 1;
    Bytes expected = bytes;
    expected[0] = bytes[1] & 1;
    expected[1] = bytes[0] & 1;
    if (switched.toBytes() != expected)
        std::abort();

    // The end-of-game merge: per player 4 bytes of total, 1 byte of name length,
    // then that many bytes of name (Latin-1, so every byte is a character).
    ConfigRecord merged = record;
    for (int player = 0; player < 4 && size >= 5; ++player) {
        std::int32_t total = 0;
        std::memcpy(&total, data, sizeof total);
        const std::size_t length = std::min<std::size_t>(data[4], size - 5);
        const QString name = QString::fromLatin1(
            reinterpret_cast<const char *>(data + 5), static_cast<qsizetype>(length));
        data += 5 + length;
        size -= 5 + length;

        const ConfigRecord before = merged;
        enterHighscore(merged, total, name);
        // A total above entry 20, and only that, changes the list; it keeps a
        // sorted list sorted and stands in it under its name as stored.
        const bool entered = total > before.highscores[kHighscoreCount - 1].points;
        HighscoreEntry probe;
        probe.setName(name);
        const bool found = std::any_of(merged.highscores.begin(), merged.highscores.end(),
            [&](const HighscoreEntry &e) { return e.points == total && e.name() == probe.name(); });
        if (entered != (merged != before) || (entered && !found)
            || (sorted(before) && !sorted(merged)))
            std::abort();
        if (merged.soundOn != record.soundOn || merged.filler != record.filler)
            std::abort(); // the merge touches the entries only
    }
    return 0;
}
