#include "HighscoreMerge.h"

#include <algorithm>
#include <utility>

namespace dorvel::storage {

void exchangeEntries(HighscoreEntry &first, HighscoreEntry &second)
{
    const HighscoreEntry oldFirst = first;
    const int firstLength = first.usedLength();
    const int secondLength = second.usedLength();

    // A length byte above 10 (a damaged file) travels as 10, the part of the name
    // that is actually shown.
    first.nameLength = static_cast<std::uint8_t>(secondLength);
    std::copy_n(second.nameChars.begin(), secondLength, first.nameChars.begin());
    second.nameLength = static_cast<std::uint8_t>(firstLength);
    std::copy_n(oldFirst.nameChars.begin(), firstLength, second.nameChars.begin());

    std::swap(first.points, second.points);
}

void enterHighscore(ConfigRecord &record, std::int32_t total, const QString &name)
{
    auto &list = record.highscores;
    HighscoreEntry &last = list[kHighscoreCount - 1];
    if (total <= last.points)
        return;
    last.points = total;
    last.setName(name);
    // The whole pass always runs; on a list in order the remaining steps are no-ops.
    for (int k = kHighscoreCount; k >= 2; --k) {
        if (list[k - 2].points < list[k - 1].points)
            exchangeEntries(list[k - 2], list[k - 1]);
    }
}

} // namespace dorvel::storage
