#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvel::platform {

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

/**
 * Decodes a whole WAV, FLAC or Ogg Vorbis file held in memory. Needs no output
 * device. Reads nothing outside [data, data + size). Truncated, damaged,
 * empty, silent-length or otherwise unusable data gives std::nullopt; when
 * `why` is given it receives a short reason for the log. More than two channels
 * are mixed down to mono.
 */
std::optional<PcmData> decodeSample(const void *data, std::size_t size, std::string *why = nullptr);

} // namespace dorvel::platform
