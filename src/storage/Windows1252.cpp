#include "ConfigRecord.h"

namespace dorvel::storage {

namespace {

    // Code points of bytes 0x80..0x9F, where Windows-1252 differs from Latin-1.
    // The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
    // map to the C1 control of the same value, as Windows itself converts them, so
    // any stored byte survives a decode and encode unchanged.
    constexpr char16_t kHighHalf[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
    };

} // namespace

QChar decodeWindows1252(std::uint8_t byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kHighHalf[byte - 0x80]);
    return QChar(static_cast<char16_t>(byte));
}

std::uint8_t encodeWindows1252(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<std::uint8_t>(codePoint);
    for (int i = 0; i < 32; ++i) {
        if (kHighHalf[i] == codePoint)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return '?';
}

} // namespace dorvel::storage
