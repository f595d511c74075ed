#pragma once

#include "BackgroundDecode.h"
#include "SampleDecoder.h"
#include "StreamVoice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace dorvel::sound {

/// How a sample holds its sound.
enum class SampleMode {
    /// Decoded into one OpenAL buffer that every playback source shares.
    InMemory,
    /// Checked, and being decoded on a worker; playbacks asked for meanwhile
    /// wait and start when the sound arrives. Becomes InMemory then.
    DecodingInBackground,
    /// Kept compressed; each playback decodes while it plays (StreamVoice).
    Streamed,
};

/**
 * One loaded sample and its playbacks: as many OpenAL sources as its playback
 * limit, and the sound in whichever mode it has. It keeps what it needs to be
 * made again on a new device (its PCM or its compressed bytes), and which
 * playbacks should go on there.
 *
 * Not thread-safe: the library calls it under its lock, with its context current.
 */
class SoundSample
{
public:
    SoundSample(SampleMode mode, std::uint32_t flags);
    ~SoundSample();
    SoundSample(SoundSample &&) noexcept;
    SoundSample &operator=(SoundSample &&) = delete;

    SampleMode mode() const { return m_mode; }
    std::uint32_t flags() const { return m_flags; }
    bool loops() const;
    /// The background decoding failed: the sample stays loaded but silent.
    bool isSilent() const { return m_silent; }

    /// Makes `count` playback sources; false on an OpenAL error.
    bool buildSources(std::size_t count);
    /// Puts the sound into a new buffer shared by every source, and keeps it.
    bool fillBuffer(std::shared_ptr<const PcmData> pcm);
    /// Streamed: the compressed bytes, and the reader that checked them.
    void setStream(std::vector<unsigned char> bytes, std::unique_ptr<SampleReader> reader);
    /// DecodingInBackground: the decoding, started by the caller.
    void setDecode(std::unique_ptr<BackgroundDecode> decode);
    /// Takes in a finished background decoding and starts the playbacks that
    /// waited; false when it was not finished.
    bool takeDecoded(std::uint32_t handle);
    /// Tells a background decoding to stop, without waiting.
    void cancelDecode();

    std::size_t playbacks() const { return m_sources.size(); }
    /// Playback `index` runs: it waits for the sound, streams, or its source plays.
    bool isBusy(std::size_t index) const;
    int busyCount() const;
    /// A playback that is free, else (with `takeOver`) the longest-playing one.
    std::optional<std::size_t> choosePlayback(bool takeOver) const;
    /// Starts playback `index` from the beginning; answers its source, or 0.
    std::uint32_t play(std::size_t index, std::uint64_t order);
    /// While the device is lost: playback `index` counts as asked for, and a
    /// streamed or looping one starts when the device comes back; answers its
    /// source as play() would.
    std::uint32_t playLater(std::size_t index, std::uint64_t order);
    void stopAll();
    /// Refills the streamed playbacks.
    void refill();
    bool hasActiveVoice() const;

    /// The device was lost: the OpenAL names went with it.
    void forgetDevice();
    /// Makes the sources and buffer again on the current context and starts what
    /// should still play; false on an OpenAL error.
    bool restore();
    /// Deletes the OpenAL objects and ends a background decoding.
    void release();

private:
    bool restartWanted();

    SampleMode m_mode;
    std::uint32_t m_flags;
    bool m_silent = false;
    unsigned int m_buffer = 0;
    std::vector<unsigned int> m_sources;
    // When each playback was last started, in playback order: the smallest
    // running one is the longest-playing.
    std::vector<std::uint64_t> m_startedAt;
    // Per playback: a looping playback that runs until stopped, to be started
    // again on a new device.
    std::vector<char> m_wanted;
    // InMemory: the sound, kept for a new device.
    std::shared_ptr<const PcmData> m_pcm;
    // DecodingInBackground: the worker, and per playback whether it waits.
    std::unique_ptr<BackgroundDecode> m_decode;
    std::vector<char> m_pending;
    // Streamed: the compressed bytes and one voice per playback.
    std::vector<unsigned char> m_encoded;
    std::vector<StreamVoice> m_voices;
};

} // namespace dorvel::sound
