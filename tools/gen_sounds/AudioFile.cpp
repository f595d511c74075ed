#include "AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace dorvel::gensounds {

namespace {

    // A growable byte buffer behind libsndfile's virtual I/O.
    struct MemoryFile
    {
        Bytes bytes;
        sf_count_t position = 0;
    };

    sf_count_t memoryLength(void *user)
    {
        return static_cast<sf_count_t>(static_cast<MemoryFile *>(user)->bytes.size());
    }

    sf_count_t memorySeek(sf_count_t offset, int whence, void *user)
    {
        auto *file = static_cast<MemoryFile *>(user);
        sf_count_t base = 0;
        if (whence == SEEK_CUR)
            base = file->position;
        else if (whence == SEEK_END)
            base = static_cast<sf_count_t>(file->bytes.size());
        const sf_count_t target = base + offset;
        if (target < 0)
            return -1;
        file->position = target;
        return target;
    }

    sf_count_t memoryRead(void *destination, sf_count_t count, void *user)
    {
        auto *file = static_cast<MemoryFile *>(user);
        const auto size = static_cast<sf_count_t>(file->bytes.size());
        const sf_count_t available = std::max<sf_count_t>(0, size - file->position);
        const sf_count_t n = std::min(count, available);
        if (n > 0)
            std::memcpy(
                destination, file->bytes.data() + file->position, static_cast<std::size_t>(n));
        file->position += n;
        return n;
    }

    sf_count_t memoryWrite(const void *source, sf_count_t count, void *user)
    {
        auto *file = static_cast<MemoryFile *>(user);
        const auto end = static_cast<std::size_t>(file->position + count);
        if (end > file->bytes.size())
            file->bytes.resize(end);
        std::memcpy(file->bytes.data() + file->position, source, static_cast<std::size_t>(count));
        file->position += count;
        return count;
    }

    sf_count_t memoryTell(void *user)
    {
        return static_cast<MemoryFile *>(user)->position;
    }

    SF_VIRTUAL_IO memoryIo()
    {
        return { memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell };
    }

    std::optional<Bytes> encode(const Sound &sound, int format, double quality, std::string &error)
    {
        MemoryFile file;
        SF_VIRTUAL_IO io = memoryIo();
        SF_INFO info {};
        info.samplerate = static_cast<int>(kSampleRate);
        info.channels = sound.channels;
        info.format = format;
        SNDFILE *handle = sf_open_virtual(&io, SFM_WRITE, &info, &file);
        if (!handle) {
            error = sf_strerror(nullptr);
            return std::nullopt;
        }
        if (quality >= 0.0)
            sf_command(handle, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
        // We master below full scale ourselves; libsndfile must not rescale.
        sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        // In blocks: the Vorbis encoder crashes when handed a minute of audio at once.
        const auto frameCount = static_cast<sf_count_t>(sound.frameCount());
        constexpr sf_count_t kBlock = 4096;
        sf_count_t written = 0;
        while (written < frameCount) {
            const sf_count_t n = std::min(kBlock, frameCount - written);
            const sf_count_t done
                = sf_writef_double(handle, sound.samples.data() + written * sound.channels, n);
            written += done;
            if (done != n)
                break;
        }
        if (written != frameCount)
            error = sf_strerror(handle);
        sf_close(handle);
        if (written != frameCount)
            return std::nullopt;
        return std::move(file.bytes);
    }

    std::uint32_t oggCrc(const std::uint8_t *data, std::size_t size)
    {
        static const std::array<std::uint32_t, 256> table = [] {
            std::array<std::uint32_t, 256> t {};
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t r = i << 24;
                for (int bit = 0; bit < 8; ++bit)
                    r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
                t[i] = r;
            }
            return t;
        }();
        std::uint32_t crc = 0;
        for (std::size_t i = 0; i < size; ++i)
            crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
        return crc;
    }

    void putLe32(std::uint8_t *at, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    // Rewrites the serial number of every page and recomputes the page checksums.
    bool fixOggSerial(Bytes &bytes, std::uint32_t serial)
    {
        std::size_t at = 0;
        while (at < bytes.size()) {
            if (bytes.size() - at < 27 || std::memcmp(bytes.data() + at, "OggS", 4) != 0)
                return false;
            const std::size_t segments = bytes[at + 26];
            if (bytes.size() - at < 27 + segments)
                return false;
            std::size_t body = 0;
            for (std::size_t s = 0; s < segments; ++s)
                body += bytes[at + 27 + s];
            const std::size_t pageSize = 27 + segments + body;
            if (bytes.size() - at < pageSize)
                return false;
            putLe32(bytes.data() + at + 14, serial);
            putLe32(bytes.data() + at + 22, 0);
            putLe32(bytes.data() + at + 22, oggCrc(bytes.data() + at, pageSize));
            at += pageSize;
        }
        return true;
    }

} // namespace

std::optional<Bytes> encodeOgg(const Sound &sound, std::uint32_t serial, std::string &error)
{
    auto bytes = encode(sound, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.6, error);
    if (bytes && !fixOggSerial(*bytes, serial)) {
        error = "the encoder wrote an Ogg stream that could not be parsed";
        return std::nullopt;
    }
    return bytes;
}

std::optional<Bytes> encodeWav(const Sound &sound, std::string &error)
{
    return encode(sound, SF_FORMAT_WAV | SF_FORMAT_PCM_16, -1.0, error);
}

std::optional<Samples> decode(const Bytes &bytes, int &channels, std::string &error)
{
    MemoryFile file { bytes, 0 };
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info {};
    SNDFILE *handle = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!handle) {
        error = sf_strerror(nullptr);
        return std::nullopt;
    }
    channels = info.channels;
    Samples samples(
        static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    const sf_count_t read = sf_readf_double(handle, samples.data(), info.frames);
    sf_close(handle);
    if (read != info.frames || info.samplerate != static_cast<int>(kSampleRate)) {
        error = "decoded " + std::to_string(read) + " of " + std::to_string(info.frames)
            + " frames at " + std::to_string(info.samplerate) + " Hz";
        return std::nullopt;
    }
    return samples;
}

bool writeFile(const std::string &path, const Bytes &bytes, std::string &error)
{
    // Written aside and renamed, so a failed run never leaves half a file
    // that the build would take as up to date.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = "cannot rename " + temporary + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace dorvel::gensounds
