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

// The program uses the bare name in its current folder; so does the fuzzer,
// inside a private folder on a memory file system.
void enterPrivateFolder()
{
    static const bool entered = [] {
        char pattern[] = "/dev/shm/dorvel-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        return made != nullptr && chdir(made) == 0;
    }();
    if (!entered)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace dorvel::storage;
    enterPrivateFolder();
    const std::string file = kConfigFileName;
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
    const auto sorted = [](const ConfigRecord &r) {
        for (int k = 1; k < kHighscoreCount; ++k) {
            if (r.highscores[k - 1].points < r.highscores[k].points)
                return false;
        }
        return true;
    };
    if (sorted(record) && !sorted(merged))
        std::abort(); // the merge broke the order of a list that was in order
    merged.soundOn = 1;
    merged.musicOn = 0;
    writeConfig(file, merged);
    ConfigRecord again;
    if (!readConfig(file, again) || again.toBytes() != merged.toBytes())
        std::abort();
    return 0;
}
