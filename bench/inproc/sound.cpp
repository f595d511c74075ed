// The sound layer at rest (memory of the music sample, idle CPU) and the
// start screen's three sample loads.
#include "Harness.h"
#include "Scenarios.h"

#include "resources/ResourceLibrary.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace inproc {

namespace {

    long long residentKb()
    {
        std::FILE *file = std::fopen("/proc/self/status", "r");
        if (!file)
            return -1;
        char line[256];
        long long kb = -1;
        while (std::fgets(line, sizeof line, file)) {
            if (std::sscanf(line, "VmRSS: %lld kB", &kb) == 1)
                break;
        }
        std::fclose(file);
        return kb;
    }

} // namespace

/// What the sound layer costs while nothing plays: memory of the music sample,
/// and CPU over a few seconds with the output device running and paused.
int soundAtRest(int seconds)
{
    auto sound = sound::createOpenAlSoundLibrary();
    const long long rss0 = residentKb();
    if (sound->BASS_Init(-1, 44100, 0, nullptr) == 0)
        throw std::runtime_error("no sound device (set ALSOFT_DRIVERS=null)");
    sound->BASS_Start();
    const long long rss1 = residentKb();
    const resources::ResourceModule *module
        = resources::systemResourceLoader().loadLibrary(resources::kResourceLibraryName);
    auto music = resources::openResource(module, 117);
    if (!music)
        throw std::runtime_error("no music resource");
    const long long cpuLoad = bench::processCpuNs();
    const long long wallLoad = monotonicNs();
    const sound::HSAMPLE sample = sound->BASS_SampleLoad(1, music->memory(), 0,
        static_cast<std::uint32_t>(music->size()), 3, sound::BASS_SAMPLE_LOOP);
    const double loadWall = ms(monotonicNs() - wallLoad);
    const double loadCpu = ms(bench::processCpuNs() - cpuLoad);
    // The music plays for 3 s with the event loop running, as on the start
    // screen (decoding in the background or while it plays); memory is read
    // while it plays.
    auto runEvents = [](int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const long long cpuDecode = bench::processCpuNs();
    sound->BASS_SamplePlay(sample);
    runEvents(3000);
    const double decodeCpu = ms(bench::processCpuNs() - cpuDecode);
    const long long rss2 = residentKb();
    sound->BASS_SampleStop(sample);

    auto idleCpu = [&] {
        const long long cpu0 = bench::processCpuNs();
        const long long t0 = monotonicNs();
        QThread::sleep(static_cast<unsigned long>(seconds));
        return 100.0 * static_cast<double>(bench::processCpuNs() - cpu0)
            / static_cast<double>(monotonicNs() - t0);
    };
    const double running = idleCpu(); // no event loop runs: the idle pause cannot come
    runEvents(sound::OpenAlSoundLibrary::kIdleCheckMs + 500);
    const double paused = idleCpu();
    sound->BASS_SampleFree(sample);
    sound->BASS_Free();

    bench::printValueRow("Sound: BASS_SampleLoad of the 64 s Ogg music, wall", loadWall, "ms", "-");
    bench::printValueRow("  CPU of that call", loadCpu, "ms", "-");
    bench::printValueRow(
        "  CPU of its first 3 s of playing (decoding included)", decodeCpu, "ms", "-");
    bench::printValueRow("  resident memory added by the output device",
        static_cast<double>(rss1 - rss0) / 1024.0, "MB", "-");
    bench::printValueRow("  resident memory added by the music sample, playing",
        static_cast<double>(rss2 - rss1) / 1024.0, "MB", "-");
    bench::printValueRow("Sound idle CPU, nothing playing, device kept running", running, "%", "-");
    bench::printValueRow(
        "Sound idle CPU, nothing playing, after the idle pause", paused, "%", "<= 0.05");
    return 0;
}

/// How long the start screen's three samples take to load from the real
/// resource library, `runs` times in this process; the first run is the one a
/// start-up pays (libraries and data touched for the first time).
int startScreenLoads(int runs)
{
    const resources::ResourceModule *module
        = resources::systemResourceLoader().loadLibrary(resources::kResourceLibraryName);
    const auto music = resources::openResource(module, 117);
    const auto click = resources::openResource(module, 116);
    const auto confirm = resources::openResource(module, 115);
    if (!music || !click || !confirm)
        throw std::runtime_error("no start-screen sounds (build the redizo target)");
    std::vector<double> all, ofMusic;
    for (int run = 0; run < runs; ++run) {
        auto sound = sound::createOpenAlSoundLibrary();
        if (sound->BASS_Init(-1, 44100, 0, nullptr) == 0)
            throw std::runtime_error("no sound device (set ALSOFT_DRIVERS=null)");
        sound->BASS_Start();
        auto load = [&](const resources::ResourceStream &stream, std::uint32_t flags) {
            return sound->BASS_SampleLoad(
                -1, stream.memory(), 0, static_cast<std::uint32_t>(stream.size()), 3, flags);
        };
        const long long start = monotonicNs();
        const sound::HSAMPLE musicSample = load(*music, sound::BASS_SAMPLE_LOOP);
        ofMusic.push_back(ms(monotonicNs() - start));
        const sound::HSAMPLE samples[] = { musicSample, load(*click, sound::BASS_SAMPLE_OVER_POS),
            load(*confirm, sound::BASS_SAMPLE_OVER_POS) };
        all.push_back(ms(monotonicNs() - start));
        for (const sound::HSAMPLE sample : samples) {
            if (sample == 0)
                throw std::runtime_error("a start-screen sound did not load");
            sound->BASS_SampleFree(sample);
        }
        sound->BASS_Free();
    }
    bench::printValueRow(
        "Sound: the start screen's three sample loads, first run", all.front(), "ms", "-");
    bench::printValueRow("  of it the music, first run", ofMusic.front(), "ms", "-");
    bench::printRunsRow(
        "Sound: the start screen's three sample loads, in one process", all, "ms", "-");
    bench::printRunsRow("  of it the music, in one process", ofMusic, "ms", "-");
    return 0;
}

} // namespace inproc
