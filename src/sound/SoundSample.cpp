#include "SoundSample.h"

#include "OpenAlCheck.h"
#include "SoundLibrary.h"

#include <AL/al.h>

#include <algorithm>
#include <string>

namespace dorvel::sound {

SoundSample::SoundSample(SampleMode mode, std::uint32_t flags)
    : m_mode(mode)
    , m_flags(flags)
{
}

SoundSample::~SoundSample() = default;
SoundSample::SoundSample(SoundSample &&) noexcept = default;

bool SoundSample::loops() const
{
    return (m_flags & BASS_SAMPLE_LOOP) != 0;
}

bool SoundSample::buildSources(std::size_t count)
{
    alGetError();
    m_sources.assign(count, 0);
    m_startedAt.resize(count, 0);
    m_wanted.resize(count, 0);
    // A streamed source never loops itself: its voice's reader does.
    const bool loopSources = loops() && m_mode != SampleMode::Streamed;
    for (ALuint &source : m_sources) {
        alGenSources(1, &source);
        if (!alOk("alGenSources")) {
            source = 0;
            return false;
        }
        // Heard as it was recorded: no distance or direction from the listener.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcei(source, AL_LOOPING, loopSources ? AL_TRUE : AL_FALSE);
        if (!alOk("setting up a playback source"))
            return false;
    }
    if (m_mode == SampleMode::Streamed)
        m_voices.resize(count);
    return true;
}

bool SoundSample::fillBuffer(std::shared_ptr<const PcmData> pcm)
{
    m_pcm = std::move(pcm);
    alGetError();
    alGenBuffers(1, &m_buffer);
    if (!alOk("alGenBuffers")) {
        m_buffer = 0;
        return false;
    }
    const auto bytes = m_pcm->samples.size() * sizeof(std::int16_t);
    alBufferData(m_buffer, m_pcm->channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
        m_pcm->samples.data(), static_cast<ALsizei>(bytes), m_pcm->sampleRate);
    if (!alOk("alBufferData"))
        return false;
    for (const ALuint source : m_sources)
        alSourcei(source, AL_BUFFER, static_cast<ALint>(m_buffer));
    return alOk("attaching the sound to its sources");
}

void SoundSample::setStream(std::vector<unsigned char> bytes, std::unique_ptr<SampleReader> reader)
{
    // Moving the vector keeps the bytes where the reader sees them.
    m_encoded = std::move(bytes);
    if (!m_voices.empty())
        m_voices.front().adoptReader(std::move(reader));
}

void SoundSample::setDecode(std::unique_ptr<BackgroundDecode> decode)
{
    m_decode = std::move(decode);
    m_pending.assign(m_sources.size(), 0);
}

bool SoundSample::takeDecoded(std::uint32_t handle)
{
    if (!m_decode || !m_decode->isFinished())
        return false;
    std::string why;
    std::optional<PcmData> pcm = m_decode->take(&why);
    m_decode.reset();
    m_mode = SampleMode::InMemory;
    std::vector<ALuint> waiting;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i])
            waiting.push_back(m_sources[i]);
        m_wanted[i] = m_pending[i] && loops();
    }
    m_pending.clear();
    if (!pcm) {
        qCWarning(
            lcSound, "sample %u cannot be decoded (%s); it stays silent", handle, why.c_str());
        m_silent = true;
    } else if (!fillBuffer(std::make_shared<const PcmData>(std::move(*pcm)))) {
        qCWarning(lcSound, "sample %u: no buffer for its sound; it stays silent", handle);
        m_silent = true;
    } else if (!waiting.empty()) {
        alSourcePlayv(static_cast<ALsizei>(waiting.size()), waiting.data());
        alOk("starting playbacks that waited for their sound");
    }
    return true;
}

void SoundSample::cancelDecode()
{
    if (m_decode)
        m_decode->cancel();
}

bool SoundSample::isBusy(std::size_t index) const
{
    switch (m_mode) {
    case SampleMode::DecodingInBackground:
        return m_pending[index] != 0;
    case SampleMode::Streamed:
        return m_voices[index].isActive();
    case SampleMode::InMemory:
        break;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(m_sources[index], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

int SoundSample::busyCount() const
{
    int busy = 0;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        if (isBusy(i))
            ++busy;
    }
    return busy;
}

std::optional<std::size_t> SoundSample::choosePlayback(bool takeOver) const
{
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        if (!isBusy(i))
            return i;
    }
    if (!takeOver || m_startedAt.empty())
        return std::nullopt;
    return static_cast<std::size_t>(
        std::min_element(m_startedAt.begin(), m_startedAt.end()) - m_startedAt.begin());
}

std::uint32_t SoundSample::play(std::size_t index, std::uint64_t order)
{
    const ALuint source = m_sources[index];
    switch (m_mode) {
    case SampleMode::DecodingInBackground:
        m_pending[index] = 1;
        break;
    case SampleMode::Streamed:
        if (!m_voices[index].start(source, m_encoded, loops()))
            return 0;
        break;
    case SampleMode::InMemory:
        alSourceRewind(source);
        alSourcePlay(source);
        if (!alOk("BASS_SamplePlay"))
            return 0;
        m_wanted[index] = loops();
        break;
    }
    m_startedAt[index] = order;
    return source;
}

std::uint32_t SoundSample::playLater(std::size_t index, std::uint64_t order)
{
    switch (m_mode) {
    case SampleMode::DecodingInBackground:
        m_pending[index] = 1;
        break;
    case SampleMode::Streamed:
        m_voices[index].stop(m_sources[index]);
        m_voices[index].markActive();
        break;
    case SampleMode::InMemory:
        m_wanted[index] = loops();
        break;
    }
    m_startedAt[index] = order;
    return m_sources[index];
}

void SoundSample::stopAll()
{
    alSourceStopv(static_cast<ALsizei>(m_sources.size()), m_sources.data());
    std::fill(m_pending.begin(), m_pending.end(), 0);
    std::fill(m_wanted.begin(), m_wanted.end(), 0);
    for (std::size_t i = 0; i < m_voices.size(); ++i)
        m_voices[i].stop(m_sources[i]);
}

void SoundSample::refill()
{
    for (std::size_t i = 0; i < m_voices.size(); ++i)
        m_voices[i].refill(m_sources[i]);
}

bool SoundSample::hasActiveVoice() const
{
    return std::any_of(m_voices.begin(), m_voices.end(),
        [](const StreamVoice &voice) { return voice.isActive(); });
}

void SoundSample::forgetDevice()
{
    std::fill(m_sources.begin(), m_sources.end(), 0);
    m_buffer = 0;
    for (StreamVoice &voice : m_voices)
        voice.forgetBuffers();
}

bool SoundSample::restore()
{
    if (!buildSources(m_sources.size()))
        return false;
    if (m_mode == SampleMode::InMemory && m_pcm && !fillBuffer(m_pcm))
        return false;
    return restartWanted();
}

// On a new device: the streamed playbacks that were running and the looping
// ones in memory start again from the beginning. Effects that were under way
// when the device went are not worth repeating.
bool SoundSample::restartWanted()
{
    std::vector<ALuint> looping;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        if (m_mode == SampleMode::Streamed && m_voices[i].isActive())
            m_voices[i].start(m_sources[i], m_encoded, loops());
        else if (m_mode == SampleMode::InMemory && m_wanted[i])
            looping.push_back(m_sources[i]);
    }
    if (!looping.empty())
        alSourcePlayv(static_cast<ALsizei>(looping.size()), looping.data());
    return alOk("starting the playbacks again on a new device");
}

void SoundSample::release()
{
    m_decode.reset(); // cancels and joins a decoding still running
    m_pending.clear();
    alGetError();
    if (!m_sources.empty()) {
        const auto count = static_cast<ALsizei>(m_sources.size());
        alSourceStopv(count, m_sources.data());
        alDeleteSources(count, m_sources.data());
        m_sources.clear();
    }
    if (m_buffer) {
        alDeleteBuffers(1, &m_buffer);
        m_buffer = 0;
    }
    for (StreamVoice &voice : m_voices)
        voice.deleteBuffers();
    m_voices.clear();
    alOk("releasing a sample");
}

} // namespace dorvel::sound
