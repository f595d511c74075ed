#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dorvel::sound {

/// Decoded sound ready for an output buffer: 16-bit signed samples, interleaved.
struct PcmData
{
    int channels = 0; ///< 1 (mono) or 2 (stereo)
    int sampleRate = 0; ///< frames per second
    std::vector<std::int16_t> samples;

    std::size_t frames() const
    {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

/// Longest sound decodeSample accepts, in 16-bit values (all channels together):
/// about six minutes of 44.1 kHz stereo (64 MiB). Guards against data that inflates without bound.
inline constexpr std::size_t kMaxDecodedSamples = std::size_t { 1 } << 25;

/// The three containers a sample may come in.
enum class SampleContainer { Wav, Flac, OggVorbis };

/// What a sample's header says, known before any sound is decoded.
struct SampleFormat
{
    SampleContainer container = SampleContainer::Wav;
    int channels = 0; ///< in the file; decoding gives at most two
    int sampleRate = 0;
    std::int64_t frames = 0; ///< announced length; may be unknown (0 or less)
};

/// The container the first bytes name, or nothing for anything else.
std::optional<SampleContainer> sampleContainerOf(const void *data, std::size_t size);

/**
 * A sample opened for decoding, in two steps so the cheap one can run where the
 * caller waits and the expensive one elsewhere:
 *
 * - open() does every check that needs no decoding: the container's structure
 *   (WAV chunk list, every Ogg page whole with its checksum, FLAC marker) and
 *   libsndfile reading the header, channels and rate. A few milliseconds even
 *   for a megabyte of Ogg.
 * - decode() turns the whole sound into 16-bit PCM; this is the slow part
 *   (about a second for a minute of Ogg Vorbis).
 *
 * The reader keeps pointing at the bytes it was opened on: they must stay valid
 * and unchanged while it lives. It is not shared between threads, but may be
 * handed as a whole to another thread, which then uses and destroys it.
 */
class SampleReader
{
public:
    /// nullptr (and `why`) when the data fails the checks above.
    static std::unique_ptr<SampleReader> open(
        const void *data, std::size_t size, std::string *why = nullptr);
    ~SampleReader();
    SampleReader(const SampleReader &) = delete;
    SampleReader &operator=(const SampleReader &) = delete;

    const SampleFormat &format() const { return m_format; }

    /**
     * Decodes the whole sound; call once. Damage found on the way, a sound
     * longer than kMaxDecodedSamples or one ending before its announced length
     * gives std::nullopt. When `cancel` turns true the decoding stops within
     * one chunk of a few thousand frames and gives std::nullopt too.
     */
    std::optional<PcmData> decode(
        std::string *why = nullptr, const std::atomic<bool> *cancel = nullptr);

    /// Channels of what decode() and read() give: 1 or 2.
    int outputChannels() const { return m_format.channels <= 2 ? m_format.channels : 1; }
    /**
     * Decodes the next `frames` frames (or fewer at the end) into `out`, which
     * holds frames × outputChannels() values, for playing while decoding.
     * Answers the frames written: 0 at the end of the sound or on damage.
     */
    std::size_t read(std::int16_t *out, std::size_t frames);
    /// Back to the first frame; false when the stream cannot seek.
    bool rewind();

private:
    struct Source;
    explicit SampleReader(std::unique_ptr<Source> source, SampleFormat format);

    std::unique_ptr<Source> m_source;
    SampleFormat m_format;
};

/**
 * Decodes a whole WAV, FLAC or Ogg Vorbis file held in memory (open, then decode). Needs no output
 * device. Reads nothing outside [data, data + size). Truncated, damaged,
 * empty, silent-length or otherwise unusable data gives std::nullopt; when
 * `why` is given it receives a short reason for the log. More than two channels
 * are mixed down to mono.
 */
std::optional<PcmData> decodeSample(const void *data, std::size_t size, std::string *why = nullptr);

} // namespace dorvel::sound
