// Arbitrary contents of "dorvel.cfg": read them, then do what the program does
// with what it read (store the switches, merge results, show the list).
#include "storage/ConfigRecord.h"
#include "storage/HighscoreMerge.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string privateFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/dev/shm/dorvel-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace dorvel::storage;
    const std::string file = privateFolder() + "/dorvel.cfg";
    if (FILE *out = std::fopen(file.c_str(), "wb")) {
        if (size > 0)
            std::fwrite(data, 1, size, out);
        std::fclose(out);
    }

    ConfigRecord record;
    readConfig(file, record);

    // The high-score window's filling.
    for (const HighscoreEntry &entry : record.highscores) {
        const QString text = entry.name() + QString::number(entry.points);
        if (text.size() > 10 + 11)
            std::abort();
    }

    // The end-of-game merge with totals taken from the input, and the switches.
    std::int32_t total = 0;
    if (size >= 4)
        std::memcpy(&total, data, sizeof total);
    ConfigRecord merged = record;
    enterHighscore(merged, total, record.highscores[0].name() + QStringLiteral("überlang"));
    enterHighscore(merged, total / 2, QString());
    for (int k = 1; k < kHighscoreCount; ++k) {
        if (merged.highscores[k - 1].points < merged.highscores[k].points
            && record.highscores[k - 1].points >= record.highscores[k].points)
            std::abort(); // the merge broke an order the list already had
    }
    merged.soundOn = 1;
    merged.musicOn = 0;
    writeConfig(file, merged);
    ConfigRecord again;
    if (!readConfig(file, again) || again.toBytes() != merged.toBytes())
        std::abort();
    return 0;
}
