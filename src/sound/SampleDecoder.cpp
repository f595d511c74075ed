#include "SampleDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace dorvel::sound {

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

    // The Ogg checksum (CRC-32, polynomial 0x04C11DB7, most significant bit
    // first), eight bytes a step: a minute of music is checked while its load
    // waits, so this has to be quick. Table k advances a byte's remainder over
    // k further zero bytes.
    using OggCrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

    constexpr OggCrcTables makeOggCrcTables()
    {
        OggCrcTables tables {};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            tables[0][i] = r;
        }
        for (std::size_t k = 1; k < 8; ++k) {
            for (std::size_t i = 0; i < 256; ++i) {
                const std::uint32_t r = tables[k - 1][i];
                tables[k][i] = (r << 8) ^ tables[0][r >> 24];
            }
        }
        return tables;
    }

    constexpr OggCrcTables kOggCrc = makeOggCrcTables();

    std::uint32_t readBe32(const unsigned char *p)
    {
        return std::uint32_t { p[0] } << 24 | std::uint32_t { p[1] } << 16
            | std::uint32_t { p[2] } << 8 | std::uint32_t { p[3] };
    }

    std::uint32_t oggCrc(std::uint32_t crc, const unsigned char *p, std::size_t size)
    {
        const auto &t = kOggCrc;
        for (; size >= 8; p += 8, size -= 8) {
            const std::uint32_t a = crc ^ readBe32(p);
            const std::uint32_t b = readBe32(p + 4);
            crc = t[7][a >> 24] ^ t[6][(a >> 16) & 0xFFu] ^ t[5][(a >> 8) & 0xFFu] ^ t[4][a & 0xFFu]
                ^ t[3][b >> 24] ^ t[2][(b >> 16) & 0xFFu] ^ t[1][(b >> 8) & 0xFFu]
                ^ t[0][b & 0xFFu];
        }
        for (; size > 0; ++p, --size)
            crc = (crc << 8) ^ t[0][((crc >> 24) ^ *p) & 0xFFu];
        return crc;
    }

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
            // The checksum field itself counts as zero.
            static constexpr unsigned char kZeros[4] = {};
            std::uint32_t crc = oggCrc(0, p + pos, 22);
            crc = oggCrc(crc, kZeros, 4);
            crc = oggCrc(crc, p + pos + 26, pageSize - 26);
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
        const auto container = sampleContainerOf(p, size);
        if (!container)
            return fail(why, "not WAV, FLAC or Ogg data");
        switch (*container) {
        case SampleContainer::Wav:
            return riffComplete(p, size, why);
        case SampleContainer::OggVorbis:
            return oggComplete(p, size, why);
        case SampleContainer::Flac:
            break;
        }
        return true;
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

    // Float frames as 16-bit samples; several input channels are mixed down to
    // one where the output has fewer (NaNs count as silence).
    void convertFrames(
        const float *in, sf_count_t frames, int inChannels, int outChannels, std::int16_t *out)
    {
        if (outChannels == inChannels) {
            for (sf_count_t i = 0; i < frames * inChannels; ++i)
                out[i] = toInt16(in[i]);
            return;
        }
        for (sf_count_t f = 0; f < frames; ++f) {
            const float *frame = in + f * inChannels;
            float sum = 0.0f;
            for (int c = 0; c < inChannels; ++c)
                sum += frame[c] == frame[c] ? frame[c] : 0.0f;
            out[f] = toInt16(sum / static_cast<float>(inChannels));
        }
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

} // namespace

std::optional<SampleContainer> sampleContainerOf(const void *data, std::size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    if (!p || size < 4)
        return std::nullopt;
    if (std::memcmp(p, "RIFF", 4) == 0)
        return SampleContainer::Wav;
    if (std::memcmp(p, "OggS", 4) == 0)
        return SampleContainer::OggVorbis;
    if (std::memcmp(p, "fLaC", 4) == 0)
        return SampleContainer::Flac;
    return std::nullopt;
}

// The open libsndfile handle and the view of the bytes it reads through; kept
// on the heap because libsndfile holds on to the reader's address.
struct SampleReader::Source
{
    MemoryReader reader {};
    SF_VIRTUAL_IO io { memLength, memSeek, memRead, memWrite, memTell };
    SNDFILE *file = nullptr;
    SF_INFO info {};

    ~Source()
    {
        if (file)
            sf_close(file);
    }
};

SampleReader::SampleReader(std::unique_ptr<Source> source, SampleFormat format)
    : m_source(std::move(source))
    , m_format(format)
{
}

SampleReader::~SampleReader() = default;

std::unique_ptr<SampleReader> SampleReader::open(
    const void *data, std::size_t size, std::string *why)
{
    if (!data || size == 0) {
        fail(why, "no data");
        return nullptr;
    }
    const auto *bytes = static_cast<const unsigned char *>(data);
    if (!knownContainer(bytes, size, why))
        return nullptr;
    if (size > static_cast<std::size_t>(INT64_MAX)) {
        fail(why, "data too large");
        return nullptr;
    }

    auto source = std::make_unique<Source>();
    source->reader = MemoryReader { bytes, static_cast<sf_count_t>(size), 0 };
    source->file = sf_open_virtual(&source->io, SFM_READ, &source->info, &source->reader);
    if (!source->file) {
        fail(why, "libsndfile cannot open it");
        return nullptr;
    }
    const SF_INFO &info = source->info;
    if (!acceptedFormat(info.format)) {
        fail(why, "unsupported container");
        return nullptr;
    }
    if (info.channels < 1 || info.channels > kMaxChannels) {
        fail(why, "unsupported channel count");
        return nullptr;
    }
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate) {
        fail(why, "unsupported sample rate");
        return nullptr;
    }
    SampleFormat format;
    format.container = *sampleContainerOf(bytes, size);
    format.channels = info.channels;
    format.sampleRate = info.samplerate;
    format.frames = info.frames;
    return std::unique_ptr<SampleReader>(new SampleReader(std::move(source), format));
}

std::optional<PcmData> SampleReader::decode(std::string *why, const std::atomic<bool> *cancel)
{
    SNDFILE *const file = m_source->file;
    const SF_INFO &info = m_source->info;
    const int inChannels = info.channels;
    const int outChannels = outputChannels();
    PcmData pcm;
    pcm.channels = outChannels;
    pcm.sampleRate = info.samplerate;
    const std::size_t maxFrames = kMaxDecodedSamples / static_cast<std::size_t>(outChannels);
    // The header's frame count is only a hint for the reservation: it may be
    // forged, so a few bytes must not reserve megabytes.
    if (info.frames > 0) {
        const std::size_t hinted = std::min(static_cast<std::size_t>(info.frames), maxFrames)
            * static_cast<std::size_t>(outChannels);
        pcm.samples.reserve(std::min(hinted, static_cast<std::size_t>(m_source->reader.size) * 32));
    }

    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * inChannels));
    sf_count_t total = 0;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            fail(why, "cancelled");
            return std::nullopt;
        }
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0)
            break;
        total += got;
        if (static_cast<std::size_t>(total) > maxFrames) {
            fail(why, "sound too long");
            return std::nullopt;
        }
        const std::size_t at = pcm.samples.size();
        pcm.samples.resize(at + static_cast<std::size_t>(got * outChannels));
        convertFrames(chunk.data(), got, inChannels, outChannels, pcm.samples.data() + at);
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
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

std::size_t SampleReader::read(std::int16_t *out, std::size_t frames)
{
    SNDFILE *const file = m_source->file;
    const int inChannels = m_source->info.channels;
    const int outChannels = outputChannels();
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * inChannels));
    std::size_t done = 0;
    while (done < frames) {
        const sf_count_t want
            = std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(frames - done));
        const sf_count_t got = sf_readf_float(file, chunk.data(), want);
        if (got <= 0)
            break;
        convertFrames(chunk.data(), got, inChannels, outChannels,
            out + done * static_cast<std::size_t>(outChannels));
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool SampleReader::rewind()
{
    return sf_seek(m_source->file, 0, SEEK_SET) == 0;
}

std::optional<PcmData> decodeSample(const void *data, std::size_t size, std::string *why)
{
    const auto reader = SampleReader::open(data, size, why);
    if (!reader)
        return std::nullopt;
    return reader->decode(why);
}

} // namespace dorvel::sound
