#include "SampleDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace dorvel::platform {

namespace {

    constexpr int kMaxChannels = 8;
    constexpr int kMinRate = 1000;
    constexpr int kMaxRate = 192000;
    constexpr sf_count_t kChunkFrames = 4096;

    bool fail(std::string *why, const char *reason)
    {
        if (why)
            *why = reason;
        return false;
    }

    std::uint32_t readLe32(const unsigned char *p)
    {
        return std::uint32_t { p[0] } | std::uint32_t { p[1] } << 8 | std::uint32_t { p[2] } << 16
            | std::uint32_t { p[3] } << 24;
    }

    // libsndfile quietly shortens a WAV whose data chunk runs past the end of the
    // file; a resource cut short must not load as a clipped sound, so the chunk
    // list is walked here first and the data chunk must lie wholly inside.
    bool riffComplete(const unsigned char *p, std::size_t size, std::string *why)
    {
        if (size < 12 || std::memcmp(p + 8, "WAVE", 4) != 0)
            return fail(why, "RIFF file is not WAVE");
        std::size_t pos = 12;
        while (size - pos >= 8) {
            const std::uint32_t chunkSize = readLe32(p + pos + 4);
            const std::size_t left = size - pos - 8;
            if (std::memcmp(p + pos, "data", 4) == 0) {
                if (chunkSize > left)
                    return fail(why, "WAVE data chunk is truncated");
                return true;
            }
            const std::size_t skip = std::size_t { chunkSize } + (chunkSize & 1u);
            if (skip > left)
                return fail(why, "WAVE chunk is truncated");
            pos += 8 + skip;
        }
        return fail(why, "WAVE has no data chunk");
    }

    constexpr std::array<std::uint32_t, 256> makeOggCrcTable()
    {
        std::array<std::uint32_t, 256> table {};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            table[i] = r;
        }
        return table;
    }

    constexpr auto kOggCrcTable = makeOggCrcTable();

    // Ogg pages carry no overall length, and libsndfile leaks inside libvorbis when
    // it gives up on a damaged stream, so the pages are checked here first: each
    // one whole and with a correct checksum, the first opening a Vorbis stream and
    // the last closing it.
    bool oggComplete(const unsigned char *p, std::size_t size, std::string *why)
    {
        std::size_t pos = 0;
        bool first = true;
        bool ended = false;
        while (pos < size) {
            const std::size_t left = size - pos;
            if (left < 27 || std::memcmp(p + pos, "OggS", 4) != 0 || p[pos + 4] != 0)
                return fail(why, "damaged Ogg page");
            const std::size_t segments = p[pos + 26];
            if (left < 27 + segments)
                return fail(why, "Ogg page is truncated");
            std::size_t body = 0;
            for (std::size_t i = 0; i < segments; ++i)
                body += p[pos + 27 + i];
            const std::size_t pageSize = 27 + segments + body;
            if (pageSize > left)
                return fail(why, "Ogg page is truncated");
            std::uint32_t crc = 0;
            for (std::size_t i = 0; i < pageSize; ++i) {
                // The checksum field itself counts as zero.
                const unsigned char byte = (i >= 22 && i < 26) ? 0 : p[pos + i];
                crc = (crc << 8) ^ kOggCrcTable[((crc >> 24) ^ byte) & 0xFFu];
            }
            if (crc != readLe32(p + pos + 22))
                return fail(why, "Ogg page checksum does not match");
            const unsigned char flags = p[pos + 5];
            if (first) {
                const unsigned char *packet = p + pos + 27 + segments;
                if (!(flags & 0x02) || body < 7 || std::memcmp(packet, "\x01vorbis", 7) != 0)
                    return fail(why, "Ogg stream is not Vorbis");
                first = false;
            }
            ended = (flags & 0x04) != 0;
            pos += pageSize;
        }
        if (!ended)
            return fail(why, "Ogg stream is truncated");
        return true;
    }

    // Only the three formats the program ships are let through to libsndfile;
    // anything else (and libsndfile's guessing of header-less formats) is refused.
    bool knownContainer(const unsigned char *p, std::size_t size, std::string *why)
    {
        if (size >= 4 && std::memcmp(p, "RIFF", 4) == 0)
            return riffComplete(p, size, why);
        if (size >= 4 && std::memcmp(p, "OggS", 4) == 0)
            return oggComplete(p, size, why);
        if (size >= 4 && std::memcmp(p, "fLaC", 4) == 0)
            return true;
        return fail(why, "not WAV, FLAC or Ogg data");
    }

    // A read-only view of the caller's bytes for libsndfile's virtual I/O.
    struct MemoryReader
    {
        const unsigned char *data;
        sf_count_t size;
        sf_count_t pos;
    };

    sf_count_t memLength(void *user)
    {
        return static_cast<MemoryReader *>(user)->size;
    }

    sf_count_t memSeek(sf_count_t offset, int whence, void *user)
    {
        auto *r = static_cast<MemoryReader *>(user);
        sf_count_t base = 0;
        switch (whence) {
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = r->pos;
            break;
        case SEEK_END:
            base = r->size;
            break;
        default:
            return -1;
        }
        // Positions are kept inside [0, size]; reads past the end return nothing.
        if (offset < -base || offset > r->size - base)
            return -1;
        r->pos = base + offset;
        return r->pos;
    }

    sf_count_t memRead(void *dest, sf_count_t count, void *user)
    {
        auto *r = static_cast<MemoryReader *>(user);
        if (count <= 0)
            return 0;
        const sf_count_t n = std::min(count, r->size - r->pos);
        if (n <= 0)
            return 0;
        std::memcpy(dest, r->data + r->pos, static_cast<std::size_t>(n));
        r->pos += n;
        return n;
    }

    sf_count_t memWrite(const void *, sf_count_t, void *)
    {
        return 0;
    }

    sf_count_t memTell(void *user)
    {
        return static_cast<MemoryReader *>(user)->pos;
    }

    std::int16_t toInt16(float v)
    {
        if (!(v == v)) // NaN
            return 0;
        v = std::clamp(v, -1.0f, 1.0f) * 32767.0f;
        return static_cast<std::int16_t>(v >= 0.0f ? v + 0.5f : v - 0.5f);
    }

    bool acceptedFormat(int format)
    {
        switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_FLAC:
        case SF_FORMAT_OGG:
            return true;
        default:
            return false;
        }
    }

    class SndFile
    {
    public:
        explicit SndFile(SNDFILE *f)
            : m_file(f)
        {
        }
        ~SndFile()
        {
            if (m_file)
                sf_close(m_file);
        }
        SndFile(const SndFile &) = delete;
        SndFile &operator=(const SndFile &) = delete;
        SNDFILE *get() const { return m_file; }

    private:
        SNDFILE *m_file;
    };

} // namespace

std::optional<PcmData> decodeSample(const void *data, std::size_t size, std::string *why)
{
    if (!data || size == 0) {
        fail(why, "no data");
        return std::nullopt;
    }
    const auto *bytes = static_cast<const unsigned char *>(data);
    if (!knownContainer(bytes, size, why))
        return std::nullopt;
    if (size > static_cast<std::size_t>(INT64_MAX)) {
        fail(why, "data too large");
        return std::nullopt;
    }

    MemoryReader reader { bytes, static_cast<sf_count_t>(size), 0 };
    SF_VIRTUAL_IO io { memLength, memSeek, memRead, memWrite, memTell };
    SF_INFO info {};
    SndFile file(sf_open_virtual(&io, SFM_READ, &info, &reader));
    if (!file.get()) {
        fail(why, "libsndfile cannot open it");
        return std::nullopt;
    }
    if (!acceptedFormat(info.format)) {
        fail(why, "unsupported container");
        return std::nullopt;
    }
    if (info.channels < 1 || info.channels > kMaxChannels) {
        fail(why, "unsupported channel count");
        return std::nullopt;
    }
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate) {
        fail(why, "unsupported sample rate");
        return std::nullopt;
    }

    const int inChannels = info.channels;
    const int outChannels = inChannels <= 2 ? inChannels : 1;
    PcmData pcm;
    pcm.channels = outChannels;
    pcm.sampleRate = info.samplerate;
    const std::size_t maxFrames = kMaxDecodedSamples / static_cast<std::size_t>(outChannels);
    // The header's frame count is only a hint for the reservation: it may be
    // forged, so a few bytes must not reserve megabytes.
    if (info.frames > 0) {
        const std::size_t hinted = std::min(static_cast<std::size_t>(info.frames), maxFrames)
            * static_cast<std::size_t>(outChannels);
        pcm.samples.reserve(std::min(hinted, size * 32));
    }

    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * inChannels));
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), chunk.data(), kChunkFrames);
        if (got <= 0)
            break;
        total += got;
        if (static_cast<std::size_t>(total) > maxFrames) {
            fail(why, "sound too long");
            return std::nullopt;
        }
        const std::size_t at = pcm.samples.size();
        pcm.samples.resize(at + static_cast<std::size_t>(got * outChannels));
        std::int16_t *out = pcm.samples.data() + at;
        if (outChannels == inChannels) {
            for (sf_count_t i = 0; i < got * inChannels; ++i)
                out[i] = toInt16(chunk[static_cast<std::size_t>(i)]);
        } else {
            for (sf_count_t f = 0; f < got; ++f) {
                const float *frame = chunk.data() + f * inChannels;
                float sum = 0.0f;
                for (int c = 0; c < inChannels; ++c)
                    sum += frame[c] == frame[c] ? frame[c] : 0.0f;
                out[f] = toInt16(sum / static_cast<float>(inChannels));
            }
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        fail(why, "damaged sound data");
        return std::nullopt;
    }
    if (total == 0) {
        fail(why, "no sound frames");
        return std::nullopt;
    }
    // A stream that announces its length (FLAC, Ogg) and ends early was cut short.
    if (info.frames > 0 && info.frames != SF_COUNT_MAX && total < info.frames) {
        fail(why, "sound data ends early");
        return std::nullopt;
    }
    return pcm;
}

} // namespace dorvel::platform
