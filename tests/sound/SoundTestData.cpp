#include "SoundTestData.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace dorvel::test {

namespace {

    // A growing in-memory file for libsndfile's virtual I/O.
    struct MemoryWriter
    {
        std::vector<unsigned char> bytes;
        sf_count_t pos = 0;
    };

    sf_count_t wLength(void *user)
    {
        return static_cast<sf_count_t>(static_cast<MemoryWriter *>(user)->bytes.size());
    }

    sf_count_t wSeek(sf_count_t offset, int whence, void *user)
    {
        auto *w = static_cast<MemoryWriter *>(user);
        const sf_count_t base = whence == SEEK_SET ? 0
            : whence == SEEK_CUR                   ? w->pos
                                                   : static_cast<sf_count_t>(w->bytes.size());
        if (base + offset < 0)
            return -1;
        w->pos = base + offset;
        return w->pos;
    }

    sf_count_t wRead(void *dest, sf_count_t count, void *user)
    {
        auto *w = static_cast<MemoryWriter *>(user);
        const auto size = static_cast<sf_count_t>(w->bytes.size());
        const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - w->pos));
        if (n > 0)
            std::memcpy(dest, w->bytes.data() + w->pos, static_cast<std::size_t>(n));
        w->pos += n;
        return n;
    }

    sf_count_t wWrite(const void *src, sf_count_t count, void *user)
    {
        auto *w = static_cast<MemoryWriter *>(user);
        const auto end = static_cast<std::size_t>(w->pos + count);
        if (w->bytes.size() < end)
            w->bytes.resize(end);
        std::memcpy(w->bytes.data() + w->pos, src, static_cast<std::size_t>(count));
        w->pos += count;
        return count;
    }

    sf_count_t wTell(void *user)
    {
        return static_cast<MemoryWriter *>(user)->pos;
    }

    int sndFormat(SoundFormat format)
    {
        switch (format) {
        case SoundFormat::Wav16:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case SoundFormat::Wav8:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
        case SoundFormat::WavFloat:
            return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        case SoundFormat::Flac:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case SoundFormat::OggVorbis:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        }
        return 0;
    }

} // namespace

namespace {

    // Writes a mono signal, copied to every channel, in the given container.
    std::vector<unsigned char> encode(
        SoundFormat format, const std::vector<float> &mono, int channels, int rate)
    {
        MemoryWriter writer;
        SF_VIRTUAL_IO io { wLength, wSeek, wRead, wWrite, wTell };
        SF_INFO info {};
        info.samplerate = rate;
        info.channels = channels;
        info.format = sndFormat(format);
        SNDFILE *file = sf_open_virtual(&io, SFM_WRITE, &info, &writer);
        if (!file)
            throw std::runtime_error(
                std::string("cannot write test sound: ") + sf_strerror(nullptr));
        const std::size_t frames = mono.size();
        const auto perFrame = static_cast<std::size_t>(channels);
        std::vector<float> data(frames * perFrame);
        for (std::size_t f = 0; f < frames; ++f)
            std::fill_n(
                data.begin() + static_cast<std::ptrdiff_t>(f * perFrame), perFrame, mono[f]);
        // In slices: the Vorbis encoder overruns its stack on one long write.
        constexpr std::size_t slice = 4096;
        for (std::size_t f = 0; f < frames; f += slice)
            sf_writef_float(file, data.data() + f * perFrame,
                static_cast<sf_count_t>(std::min(slice, frames - f)));
        sf_close(file);
        return writer.bytes;
    }

    // A sine whose frequency runs linearly from `from` to `to` Hz.
    std::vector<float> sweep(double from, double to, double seconds, int rate, double amplitude)
    {
        const auto frames = static_cast<std::size_t>(seconds * rate);
        std::vector<float> mono(frames);
        for (std::size_t f = 0; f < frames; ++f) {
            const double t = static_cast<double>(f) / rate;
            const double phase = from * t + (to - from) * t * t / (2.0 * seconds);
            mono[f] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * phase));
        }
        return mono;
    }

} // namespace

std::vector<unsigned char> makeTone(
    SoundFormat format, double frequency, double seconds, int channels, int rate, double amplitude)
{
    return encode(format, sweep(frequency, frequency, seconds, rate, amplitude), channels, rate);
}

std::vector<unsigned char> makeChirp(SoundFormat format, double from, double to, double seconds,
    int channels, int rate, double amplitude)
{
    return encode(format, sweep(from, to, seconds, rate, amplitude), channels, rate);
}

void useOpenAlDriver(const char *driver)
{
    if (driver)
        setenv("ALSOFT_DRIVERS", driver, 1);
    else
        unsetenv("ALSOFT_DRIVERS");
}

} // namespace dorvel::test
