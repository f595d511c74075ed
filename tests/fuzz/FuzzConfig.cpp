// Arbitrary contents of "dorvel.cfg" through the file paths: read them, store the
// switches as the start screen does, and read the result back. What is done with
// a record in memory (parsing, merge, switches) is fuzzed much faster by
// fuzz_config_record.
#include "storage/ConfigRecord.h"

#include <cstdio>
#include <cstdlib>
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
    const ReadOutcome outcome = readConfigFile(file, record);
    if (outcome != (size >= kConfigRecordSize ? ReadOutcome::Complete : ReadOutcome::Short))
        std::abort();
    if (!updateConfig(file, [](ConfigRecord &r) { r.soundOn = r.soundOn != 0 ? 0 : 1; }))
        std::abort();
    ConfigRecord again;
    record.soundOn = record.soundOn != 0 ? 0 : 1;
    if (!readConfig(file, again) || again.toBytes() != record.toBytes())
        std::abort(); // the switch changed, every other byte (zeros after a short file) kept
    return 0;
}
