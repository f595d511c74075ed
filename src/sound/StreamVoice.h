#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dorvel::sound {

class SampleReader;

/**
 * One playback of a streamed sample: its own decoder over the sample's
 * compressed bytes and a few small buffers kept queued on its OpenAL source.
 * The source itself never loops (a looping source reports no processed buffers,
 * so its first buffers would play for ever); a looping voice starts its reader
 * over at the end, inside the same buffer, so the loop has no gap.
 *
 * Not thread-safe: the library calls it under its lock, with its context
 * current for the calling thread.
 */
class StreamVoice
{
public:
    /// Buffers kept queued, of kFrames each: about 0.75 s at 44.1 kHz.
    static constexpr int kBuffers = 4;
    static constexpr std::size_t kFrames = 8192;

    StreamVoice();
    ~StreamVoice();
    StreamVoice(StreamVoice &&) noexcept;
    StreamVoice &operator=(StreamVoice &&) noexcept;

    /// Hands over a reader already opened on the bytes (the one that checked them).
    void adoptReader(std::unique_ptr<SampleReader> reader);
    /// Starts `source` from the beginning of `bytes`; false when nothing plays.
    bool start(unsigned int source, const std::vector<unsigned char> &bytes, bool loops);
    /// Refills the buffers the mixer has used up, starts the source again if it
    /// ran dry, and ends the voice once it has played out.
    void refill(unsigned int source);
    /// Stops the source and drops what is queued.
    void stop(unsigned int source);
    /// Deletes the buffers (before the context goes).
    void deleteBuffers();
    /// Forgets the buffers' names: they went with a lost device.
    void forgetBuffers() { m_buffers.clear(); }

    /// Playing or about to, until stopped or played out.
    bool isActive() const { return m_active; }
    /// Keeps a voice asked to play while the device was lost active, so that it
    /// starts when the device comes back.
    void markActive() { m_active = true; }

private:
    bool fill(unsigned int buffer);

    std::unique_ptr<SampleReader> m_reader;
    std::vector<unsigned int> m_buffers;
    std::vector<std::int16_t> m_scratch;
    bool m_loops = false;
    bool m_active = false;
    bool m_atEnd = false; // a sound that does not loop has been read to its end
};

} // namespace dorvel::sound
