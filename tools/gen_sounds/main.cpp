// Synthesises every sound of the game and writes each as Ogg Vorbis.
//
//   gen_sounds --out DIR [--wav DIR] [--markdown]
//
// --out DIR   writes DIR/<id>.ogg for every sound (the resource library's input)
// --wav DIR   also writes DIR/<id>-<name>.wav, decoded from the Ogg, for listening
// --markdown  prints the measurement table as Markdown
//
//   gen_sounds --self-test   checks the checks on sounds with known faults
//
// Each sound is encoded, decoded again from memory and measured. When any
// decoded sound clips (true peak above -1 dBFS), carries DC, is too long, does
// not start and end at rest, or jumps at its loop seam, nothing is written and
// the program exits with 1.
#include "AudioFile.h"
#include "Mastering.h"
#include "SelfTest.h"
#include "Sound.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

using namespace dorvel::gensounds;

namespace {

struct Result
{
    Sound sound;
    Bytes ogg;
    Samples decoded;
    Measurement measured;
};

int usage()
{
    std::cerr << "usage: gen_sounds --out DIR [--wav DIR] [--markdown]\n"
                 "       gen_sounds --self-test\n";
    return 2;
}

void printTable(const std::vector<Result> &results, bool markdown)
{
    if (markdown) {
        std::printf(
            "| ID | Sound | Channels | Length | Peak | True peak | RMS | Loop seam | Size |\n"
            "|---|---|---|---|---|---|---|---|---|\n");
    } else {
        std::printf("%-4s %-12s %2s %8s %9s %9s %9s %16s %8s\n", "id", "name", "ch", "length",
            "peak", "truepeak", "rms", "seam/limit", "bytes");
    }
    for (const Result &r : results) {
        const Measurement &m = r.measured;
        char seam[48] = "-";
        if (r.sound.looping)
            std::snprintf(seam, sizeof seam, "%.4f/%.4f", m.seamJump, m.seamLimit);
        if (markdown) {
            std::printf("| %d | %s: %s | %d | %.3f s | %.1f dBFS | %.1f dBFS | %.1f dBFS | %s | "
                        "%zu |\n",
                r.sound.id, r.sound.name.c_str(), r.sound.description.c_str(), r.sound.channels,
                m.seconds, m.peakDb, m.truePeakDb, m.rmsDb, seam, r.ogg.size());
        } else {
            std::printf("%-4d %-12s %2d %7.3fs %9.2f %9.2f %9.2f %16s %8zu\n", r.sound.id,
                r.sound.name.c_str(), r.sound.channels, m.seconds, m.peakDb, m.truePeakDb, m.rmsDb,
                seam, r.ogg.size());
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::string outDir, wavDir;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--self-test" && argc == 2)
            return runSelfTest();
        if (arg == "--out" && i + 1 < argc)
            outDir = argv[++i];
        else if (arg == "--wav" && i + 1 < argc)
            wavDir = argv[++i];
        else if (arg == "--markdown")
            markdown = true;
        else
            return usage();
    }
    if (outDir.empty())
        return usage();

    std::vector<Sound> sounds = designEffects();
    sounds.insert(sounds.begin() + 2, composeMusic());

    std::vector<Result> results;
    bool fit = true;
    for (Sound &sound : sounds) {
        master(sound);
        Result r { sound, {}, {}, {} };
        std::string error;
        auto ogg = encodeOgg(sound, 0x44520000u + static_cast<std::uint32_t>(sound.id), error);
        int channels = 0;
        std::optional<Samples> decoded;
        if (ogg)
            decoded = decode(*ogg, channels, error);
        if (!decoded) {
            std::cerr << "gen_sounds: " << sound.id << " " << sound.name << ": " << error << '\n';
            return 1;
        }
        r.ogg = std::move(*ogg);
        // Judge what the player will hear: the decoded stream, not our master.
        Sound heard = sound;
        heard.samples = *decoded;
        r.measured = measure(heard);
        std::vector<std::string> faults = problems(heard, r.measured);
        if (channels != sound.channels || heard.frameCount() != sound.frameCount())
            faults.push_back("decodes to " + std::to_string(heard.frameCount()) + " frames of "
                + std::to_string(channels) + " channels instead of "
                + std::to_string(sound.frameCount()));
        for (const std::string &fault : faults) {
            std::cerr << "gen_sounds: " << sound.id << " " << sound.name << ": " << fault << '\n';
            fit = false;
        }
        r.decoded = std::move(heard.samples);
        results.push_back(std::move(r));
    }
    printTable(results, markdown);
    if (!fit)
        return 1;

    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (!wavDir.empty())
        std::filesystem::create_directories(wavDir, ec);
    for (const Result &r : results) {
        std::string error;
        if (!writeFile(outDir + "/" + std::to_string(r.sound.id) + ".ogg", r.ogg, error)) {
            std::cerr << "gen_sounds: " << error << '\n';
            return 1;
        }
        if (wavDir.empty())
            continue;
        Sound heard = r.sound;
        heard.samples = r.decoded;
        auto wav = encodeWav(heard, error);
        const std::string path
            = wavDir + "/" + std::to_string(r.sound.id) + "-" + r.sound.name + ".wav";
        if (!wav || !writeFile(path, *wav, error)) {
            std::cerr << "gen_sounds: " << error << '\n';
            return 1;
        }
    }
    return 0;
}
