#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dorvel::storage {

/// Size of the settings and high-score file: exactly one record, no header.
inline constexpr std::size_t kConfigRecordSize = 324;
inline constexpr std::size_t kHighscoreEntrySize = 16;
inline constexpr int kHighscoreCount = 20;
inline constexpr int kMaxNameLength = 10;
/// Bare relative name: the file lives in the current working directory.
inline constexpr const char *kConfigFileName = "dorvel.cfg";

/// One of the twenty 16-byte high-score slots: a length-prefixed Windows-1252
/// name of at most 10 characters, a filler byte and signed 32-bit points.
struct HighscoreEntry
{
    std::uint8_t nameLength = 0; // 0..10 as stored (may be >10 in a damaged file)
    std::array<std::uint8_t, 10> nameChars {}; // Windows-1252 bytes
    std::uint8_t filler = 0;
    std::int32_t points = 0;

    /// Number of name bytes in use: the length byte, taken as 10 when a damaged
    /// file holds more.
    int usedLength() const;
    /// The first usedLength() bytes, decoded from Windows-1252.
    QString name() const;
    /// Stores the first 10 characters of `text` encoded to Windows-1252 ('?' for
    /// characters the code page lacks) and sets the length; the name bytes after
    /// the new length are left as they are.
    void setName(const QString &text);

    bool operator==(const HighscoreEntry &) const = default;
};

/// The whole content of "dorvel.cfg": the two sound switches and the high-score
/// list. Held as fields but converted to and from the file's little-endian bytes
/// one by one, so every byte (fillers and unused name bytes included) survives a
/// round trip unchanged.
struct ConfigRecord
{
    std::uint8_t soundOn = 0;
    std::uint8_t musicOn = 0;
    std::array<std::uint8_t, 2> filler {};
    std::array<HighscoreEntry, 20> highscores {}; // entry k (1..20) is highscores[k-1]

    std::array<std::uint8_t, 324> toBytes() const;
    static ConfigRecord fromBytes(const std::array<std::uint8_t, 324> &bytes);

    bool operator==(const ConfigRecord &) const = default;
};

/// How a read of the settings file went.
enum class ReadOutcome {
    Complete, ///< all 324 bytes read
    Missing, ///< no file of that name yet; the record is as the caller had it
    Short, ///< fewer than 324 bytes: they replace the front of the record, the rest stays
    Failed, ///< anything else (not a regular file, unreadable, locked for longer than a
            ///< moment, read error); the record is as the caller had it
};

/// Reads the first 324 bytes of `fileName` into `record` and says how it went.
/// Never throws.
ReadOutcome readConfigFile(const std::string &fileName, ConfigRecord &record);

/// readConfigFile() as a yes/no: true only when all 324 bytes were read.
bool readConfig(const std::string &fileName, ConfigRecord &record);

/// Replaces `fileName` with the 324 bytes of `record`, crash-safely: the bytes go
/// to a temporary file in the same folder which is synced and renamed over the
/// old file, so the file always holds either the old or the new record. In a
/// folder the player may not write, an existing file the player may write is
/// overwritten in place and synced instead. False (old file untouched, no
/// temporary left) when the file is write-protected, is a directory, is missing
/// in a read-only folder, or anything fails on the way. Never throws.
bool writeConfig(const std::string &fileName, ConfigRecord record);

/// One writer's read-modify-write: reads the record (zero-filled to start), lets
/// `change` set the writer's own fields and writes the whole record back, under
/// one exclusive lock. A missing or short file is completed with zeros; a file
/// that exists but could not be read (locked too long, unreadable, not a regular
/// file) is left alone, since writing back a record never read would wipe the
/// high scores in it. True when the record was written. Never throws.
bool updateConfig(const std::string &fileName, const std::function<void(ConfigRecord &)> &change);

/// Windows-1252 conversions used for the stored names.
QChar decodeWindows1252(std::uint8_t byte);
/// The Windows-1252 byte for `codePoint`, or '?' when the code page lacks it.
std::uint8_t encodeWindows1252(char32_t codePoint);

} // namespace dorvel::storage
