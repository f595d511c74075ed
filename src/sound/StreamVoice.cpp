#include "StreamVoice.h"

#include "OpenAlCheck.h"
#include "SampleDecoder.h"

#include <AL/al.h>

namespace dorvel::sound {

StreamVoice::StreamVoice() = default;
StreamVoice::~StreamVoice() = default;
StreamVoice::StreamVoice(StreamVoice &&) noexcept = default;
StreamVoice &StreamVoice::operator=(StreamVoice &&) noexcept = default;

void StreamVoice::adoptReader(std::unique_ptr<SampleReader> reader)
{
    m_reader = std::move(reader);
}

bool StreamVoice::start(unsigned int source, const std::vector<unsigned char> &bytes, bool loops)
{
    stop(source);
    m_loops = loops;
    if (!m_reader)
        m_reader = SampleReader::open(bytes.data(), bytes.size());
    else if (!m_reader->rewind())
        m_reader.reset();
    if (!m_reader)
        return false;
    alGetError();
    if (m_buffers.empty()) {
        m_buffers.assign(kBuffers, 0);
        alGenBuffers(kBuffers, m_buffers.data());
        if (!alOk("alGenBuffers for a stream")) {
            m_buffers.clear();
            return false;
        }
    }
    std::vector<ALuint> filled;
    for (const ALuint buffer : m_buffers) {
        if (!fill(buffer))
            break;
        filled.push_back(buffer);
    }
    if (filled.empty())
        return false;
    alSourceQueueBuffers(source, static_cast<ALsizei>(filled.size()), filled.data());
    alSourcePlay(source);
    m_active = alOk("starting a streamed playback");
    return m_active;
}

// Decodes the next kFrames into `buffer`; false when nothing is left to play.
bool StreamVoice::fill(unsigned int buffer)
{
    if (m_atEnd || !m_reader)
        return false;
    const auto channels = static_cast<std::size_t>(m_reader->outputChannels());
    m_scratch.resize(kFrames * channels);
    std::size_t got = 0;
    bool justRewound = false; // a sound that gives nothing after a rewind ends
    while (got < kFrames) {
        const std::size_t more = m_reader->read(m_scratch.data() + got * channels, kFrames - got);
        got += more;
        if (more > 0)
            justRewound = false;
        else if (m_loops && !justRewound && m_reader->rewind())
            justRewound = true; // the loop's seam, inside this buffer
        else
            break;
    }
    if (got < kFrames)
        m_atEnd = true; // the end of a sound that does not loop, or damage
    if (got == 0)
        return false;
    alBufferData(buffer, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, m_scratch.data(),
        static_cast<ALsizei>(got * channels * sizeof(std::int16_t)), m_reader->format().sampleRate);
    return alOk("filling a stream buffer");
}

void StreamVoice::refill(unsigned int source)
{
    if (!m_active)
        return;
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        if (fill(buffer))
            alSourceQueueBuffers(source, 1, &buffer);
    }
    ALint queued = 0;
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
        if (queued > 0)
            alSourcePlay(source); // it ran dry before this refill
        else
            m_active = false; // played to its end
    }
}

void StreamVoice::stop(unsigned int source)
{
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0); // drops what is still queued
    m_active = false;
    m_atEnd = false;
}

void StreamVoice::deleteBuffers()
{
    if (!m_buffers.empty())
        alDeleteBuffers(static_cast<ALsizei>(m_buffers.size()), m_buffers.data());
    m_buffers.clear();
}

} // namespace dorvel::sound
