#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
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

/// Reads the first 324 bytes of `fileName` into `record`. True when all 324 were
/// read; false when the file is missing, not a regular file, unreadable, locked
/// for longer than a moment, or shorter — a short file still replaces the front of
/// `record` with the bytes it holds and leaves the rest as the caller had it.
/// Never throws.
bool readConfig(const std::string &fileName, ConfigRecord &record);

/// Replaces `fileName` with the 324 bytes of `record`, crash-safely: the bytes go
/// to a temporary file in the same folder which is synced and renamed over the
/// old file, so the file always holds either the old or the new record. False
/// (old file untouched, no temporary left) when the file is write-protected, is a
/// directory, or anything fails on the way. Never throws.
bool writeConfig(const std::string &fileName, ConfigRecord record);

/// Windows-1252 conversions used for the stored names.
QChar decodeWindows1252(std::uint8_t byte);
/// The Windows-1252 byte for `codePoint`, or '?' when the code page lacks it.
std::uint8_t encodeWindows1252(char32_t codePoint);

} // namespace dorvel::storage
