#include "OpenAlSoundLibrary.h"

#include "SampleDecoder.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <QLoggingCategory>

#include <algorithm>

namespace dorvel::platform {

namespace {

    Q_LOGGING_CATEGORY(lcSound, "dorvel.sound")

    // Reads and clears OpenAL's error state; logs and answers false when the last
    // calls went wrong.
    bool alOk(const char *what)
    {
        const ALenum error = alGetError();
        if (error == AL_NO_ERROR)
            return true;
        const ALchar *text = alGetString(error);
        qCWarning(
            lcSound, "%s failed: %s (0x%x)", what, text ? text : "?", static_cast<unsigned>(error));
        return false;
    }

    LPALCDEVICEPAUSESOFT pauseFunction(ALCdevice *device)
    {
        if (!alcIsExtensionPresent(device, "ALC_SOFT_pause_device"))
            return nullptr;
        return reinterpret_cast<LPALCDEVICEPAUSESOFT>(
            alcGetProcAddress(device, "alcDevicePauseSOFT"));
    }

    LPALCDEVICERESUMESOFT resumeFunction(ALCdevice *device)
    {
        if (!alcIsExtensionPresent(device, "ALC_SOFT_pause_device"))
            return nullptr;
        return reinterpret_cast<LPALCDEVICERESUMESOFT>(
            alcGetProcAddress(device, "alcDeviceResumeSOFT"));
    }

} // namespace

OpenAlSoundLibrary::~OpenAlSoundLibrary()
{
    BASS_Free();
}

std::uint32_t OpenAlSoundLibrary::BASS_GetVersion()
{
    return kBassVersion17;
}

// `device` and `win` choose nothing here: the system's default output is always
// used, and no window is needed. `freq` becomes the mixing rate when sensible.
int OpenAlSoundLibrary::BASS_Init(int, std::uint32_t freq, std::uint32_t, void *)
{
    if (m_device) {
        qCWarning(lcSound, "BASS_Init: already initialised");
        return 0;
    }
    ALCdevice *device = alcOpenDevice(nullptr);
    if (!device) {
        qCInfo(lcSound, "BASS_Init: no output device could be opened");
        return 0;
    }
    ALCint attributes[3] = { 0, 0, 0 };
    if (freq >= 8000 && freq <= 192000) {
        attributes[0] = ALC_FREQUENCY;
        attributes[1] = static_cast<ALCint>(freq);
    }
    ALCcontext *context = alcCreateContext(device, attributes);
    if (!context || alcMakeContextCurrent(context) == ALC_FALSE) {
        qCWarning(lcSound, "BASS_Init: no OpenAL context on the output device");
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return 0;
    }
    m_device = device;
    m_context = context;
    m_paused = false;
    alGetError(); // start from a clean error state
    m_volume = 100;
    applyVolume();
    return 1;
}

bool OpenAlSoundLibrary::ready()
{
    if (!m_device || !m_context)
        return false;
    // Another library object may have made its own context current meanwhile.
    if (alcGetCurrentContext() != m_context && alcMakeContextCurrent(m_context) == ALC_FALSE) {
        qCWarning(lcSound, "cannot make the sound context current");
        return false;
    }
    return true;
}

int OpenAlSoundLibrary::BASS_Start()
{
    if (!ready())
        return 0;
    if (m_paused) {
        if (auto resume = resumeFunction(m_device))
            resume(m_device);
        m_paused = false;
    }
    return 1;
}

int OpenAlSoundLibrary::BASS_Stop()
{
    if (!ready())
        return 0;
    for (auto &[handle, sample] : m_samples) {
        alSourceStopv(static_cast<ALsizei>(sample.sources.size()), sample.sources.data());
    }
    alOk("BASS_Stop: stopping playbacks");
    if (auto pause = pauseFunction(m_device)) {
        pause(m_device);
        m_paused = true;
    }
    return 1;
}

HSAMPLE OpenAlSoundLibrary::BASS_SampleLoad(int mem, const void *file, std::uint32_t offset,
    std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    if (!ready())
        return 0;
    if (!mem || !file || length == 0) {
        qCWarning(lcSound, "BASS_SampleLoad: only samples in memory with a length are supported");
        return 0;
    }
    if (max < 1 || max > kMaxPlaybacks) {
        qCWarning(lcSound, "BASS_SampleLoad: playback limit %u outside 1..%u", max, kMaxPlaybacks);
        return 0;
    }
    std::string why;
    const auto pcm = decodeSample(static_cast<const unsigned char *>(file) + offset, length, &why);
    if (!pcm) {
        qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
        return 0;
    }

    alGetError();
    Sample sample;
    sample.flags = flags;
    alGenBuffers(1, &sample.buffer);
    if (!alOk("alGenBuffers"))
        return 0;
    const auto bytes = pcm->samples.size() * sizeof(std::int16_t);
    alBufferData(sample.buffer, pcm->channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
        pcm->samples.data(), static_cast<ALsizei>(bytes), pcm->sampleRate);
    if (!alOk("alBufferData")) {
        releaseSample(sample);
        return 0;
    }
    for (std::uint32_t i = 0; i < max; ++i) {
        ALuint source = 0;
        alGenSources(1, &source);
        if (!alOk("alGenSources")) {
            releaseSample(sample);
            return 0;
        }
        sample.sources.push_back(source);
        // Heard as it was recorded: no distance or direction from the listener.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcei(source, AL_LOOPING, (flags & BASS_SAMPLE_LOOP) ? AL_TRUE : AL_FALSE);
        alSourcei(source, AL_BUFFER, static_cast<ALint>(sample.buffer));
        if (!alOk("setting up a playback source")) {
            releaseSample(sample);
            return 0;
        }
    }
    sample.startedAt.assign(sample.sources.size(), 0);

    // Handles are never 0 and not reused while the old one is still loaded.
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_samples.count(m_lastHandle));
    m_samples.emplace(m_lastHandle, std::move(sample));
    return m_lastHandle;
}

std::uint32_t OpenAlSoundLibrary::BASS_SamplePlay(HSAMPLE handle)
{
    if (!ready())
        return 0;
    const auto it = m_samples.find(handle);
    if (it == m_samples.end())
        return 0;
    Sample &sample = it->second;
    alGetError();

    std::size_t chosen = sample.sources.size();
    for (std::size_t i = 0; i < sample.sources.size(); ++i) {
        ALint state = AL_STOPPED;
        alGetSourcei(sample.sources[i], AL_SOURCE_STATE, &state);
        if (state != AL_PLAYING) {
            chosen = i;
            break;
        }
    }
    if (chosen == sample.sources.size()) {
        // Every playback is busy: the sample either gives way or refuses.
        if (!(sample.flags & BASS_SAMPLE_OVER_POS))
            return 0;
        chosen = static_cast<std::size_t>(
            std::min_element(sample.startedAt.begin(), sample.startedAt.end())
            - sample.startedAt.begin());
    }
    const ALuint source = sample.sources[chosen];
    alSourceRewind(source);
    alSourcePlay(source);
    if (!alOk("BASS_SamplePlay"))
        return 0;
    sample.startedAt[chosen] = ++m_playCounter;
    return source;
}

int OpenAlSoundLibrary::BASS_SampleStop(HSAMPLE handle)
{
    if (!ready())
        return 0;
    const auto it = m_samples.find(handle);
    if (it == m_samples.end())
        return 0;
    auto &sources = it->second.sources;
    alSourceStopv(static_cast<ALsizei>(sources.size()), sources.data());
    return alOk("BASS_SampleStop") ? 1 : 0;
}

void OpenAlSoundLibrary::BASS_SampleFree(HSAMPLE handle)
{
    if (!ready())
        return;
    const auto it = m_samples.find(handle);
    if (it == m_samples.end())
        return;
    releaseSample(it->second);
    m_samples.erase(it);
}

void OpenAlSoundLibrary::releaseSample(Sample &sample)
{
    alGetError();
    if (!sample.sources.empty()) {
        const auto count = static_cast<ALsizei>(sample.sources.size());
        alSourceStopv(count, sample.sources.data());
        alDeleteSources(count, sample.sources.data());
        sample.sources.clear();
    }
    if (sample.buffer) {
        alDeleteBuffers(1, &sample.buffer);
        sample.buffer = 0;
    }
    alOk("releasing a sample");
}

int OpenAlSoundLibrary::BASS_GetVolume()
{
    if (!ready())
        return 0;
    return m_volume;
}

// The volume bar hands over its position divided by 3 without clamping it, so
// anything may arrive here; outside 0..100 counts as the nearest end.
int OpenAlSoundLibrary::BASS_SetVolume(int volume)
{
    if (!ready())
        return 0;
    m_volume = std::clamp(volume, 0, 100);
    applyVolume();
    return 1;
}

void OpenAlSoundLibrary::applyVolume()
{
    alListenerf(AL_GAIN, static_cast<ALfloat>(m_volume) / 100.0f);
    alOk("setting the master volume");
}

int OpenAlSoundLibrary::activePlaybacks(HSAMPLE handle)
{
    if (!ready())
        return 0;
    const auto it = m_samples.find(handle);
    if (it == m_samples.end())
        return 0;
    int playing = 0;
    for (const ALuint source : it->second.sources) {
        ALint state = AL_STOPPED;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING)
            ++playing;
    }
    return playing;
}

void OpenAlSoundLibrary::BASS_Free()
{
    if (!m_device)
        return;
    if (ready()) {
        for (auto &[handle, sample] : m_samples)
            releaseSample(sample);
    }
    m_samples.clear();
    if (alcGetCurrentContext() == m_context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(m_context);
    if (alcCloseDevice(m_device) == ALC_FALSE)
        qCWarning(lcSound, "BASS_Free: closing the output device failed");
    m_context = nullptr;
    m_device = nullptr;
    m_paused = false;
    m_volume = 100;
}

std::unique_ptr<SoundLibrary> createOpenAlSoundLibrary()
{
    return std::make_unique<OpenAlSoundLibrary>();
}

} // namespace dorvel::platform
