// Threads. Every call arrives on the user-interface thread, which alone owns
// m_samples and alone calls OpenAL. The only other threads are decode workers,
// one per sample being decoded in the background (a long Ogg Vorbis sample, in
// practice the music):
//
// - BASS_SampleLoad copies the caller's bytes into a DecodeJob and opens them
//   with SampleReader there and then, so every check that decides between a
//   handle and 0 has run before it answers. Then it starts the worker, which
//   holds a shared_ptr to the job. From that moment only the worker touches the
//   job's reader, bytes, pcm and why; the user-interface thread reads pcm and
//   why only after joining the worker (join orders the two).
// - The worker stores job->finished (release) and then posts an empty event to
//   m_receiver, a QObject living on the user-interface thread, which answers it
//   with takeDecodedSounds (Qt's event queue is locked). Every call about a sample also looks at
//   `finished` (acquire) first, so a finished sound is taken in even where no event loop runs.
//   Taking in joins the worker (it has only its return left), fills the OpenAL
//   buffer and starts the playbacks asked for meanwhile.
// - Freeing a sample, BASS_Free and the destructor cancel: job->cancelled is
//   set, the gate is woken and the worker joined; it stops within one chunk of
//   decoding (milliseconds). A Sample never outlives its worker (its destructor
//   joins too), and every worker is joined before m_receiver goes, so no worker
//   posts to a dead object. A queued hand-over that arrives after its sample was
//   freed finds no job and does nothing; one queued when the library itself is
//   destroyed is discarded by Qt together with m_receiver.
// - The gate (a mutex and condition variable) only matters to tests that hold
//   workers back; cancelled and held are read under its mutex.
//
// Idle pausing. OpenAL Soft's mixer thread wakes every output period even when
// every source is silent; that alone was the program's whole idle load. So the
// device is paused once nothing plays (m_idlePaused) and resumed by the next
// play. The check is a single-shot QTimer on the user-interface thread, armed
// by each play and re-armed while something still plays, so at rest nothing
// wakes up at all. BASS_Stop's pause is kept apart (m_stopped): playbacks
// started after it wait for BASS_Start, as before.
#include "OpenAlSoundLibrary.h"

#include "SampleDecoder.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>

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

    constexpr auto kDecodedEvent = QEvent::User;

    // Lives on the thread that loads samples. A worker that has finished posts
    // it an event, which it answers by taking in the finished sounds; the event
    // itself carries nothing, so nothing made on the worker is read here.
    class DecodeReceiver final : public QObject
    {
    public:
        explicit DecodeReceiver(std::function<void()> onDecoded)
            : m_onDecoded(std::move(onDecoded))
        {
        }

    protected:
        void customEvent(QEvent *) override { m_onDecoded(); }

    private:
        std::function<void()> m_onDecoded;
    };

} // namespace

// Lets tests keep workers from starting their decoding.
struct OpenAlSoundLibrary::DecodeGate
{
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
};

// One background decoding: the sample's bytes, copied so the caller may let go
// of its own, and what comes of them.
struct OpenAlSoundLibrary::DecodeJob
{
    std::shared_ptr<DecodeGate> gate;
    std::vector<unsigned char> bytes;
    std::unique_ptr<SampleReader> reader; // reads `bytes`
    std::optional<PcmData> pcm;
    std::string why;
    std::atomic<bool> cancelled { false };
    std::atomic<bool> finished { false };

    // On the worker.
    void run()
    {
        {
            std::unique_lock lock(gate->mutex);
            gate->changed.wait(lock, [this] { return !gate->held || cancelled.load(); });
        }
        try {
            pcm = reader->decode(&why, &cancelled);
        } catch (const std::bad_alloc &) {
            pcm.reset();
            why = "out of memory";
        }
        // Closing here frees the decoder's memory before the hand-over.
        reader.reset();
        std::vector<unsigned char>().swap(bytes);
        finished.store(true, std::memory_order_release);
    }

    // On the user-interface thread, before joining the worker.
    void cancel()
    {
        {
            std::lock_guard lock(gate->mutex);
            cancelled.store(true);
        }
        gate->changed.notify_all();
    }
};

OpenAlSoundLibrary::Sample::~Sample()
{
    if (worker.joinable()) {
        job->cancel();
        worker.join();
    }
}

OpenAlSoundLibrary::OpenAlSoundLibrary()
    : m_gate(std::make_shared<DecodeGate>())
{
}

OpenAlSoundLibrary::~OpenAlSoundLibrary()
{
    BASS_Free();
}

void OpenAlSoundLibrary::holdBackgroundDecodes(bool hold)
{
    {
        std::lock_guard lock(m_gate->mutex);
        m_gate->held = hold;
    }
    m_gate->changed.notify_all();
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
    m_stopped = false;
    m_idlePaused = false;
    alGetError(); // start from a clean error state
    m_volume = 100;
    applyVolume();
    if (QCoreApplication::instance()) {
        m_idleTimer = std::make_unique<QTimer>();
        m_idleTimer->setSingleShot(true);
        m_idleTimer->setInterval(kIdleCheckMs);
        QObject::connect(m_idleTimer.get(), &QTimer::timeout, [this] { pauseIfIdle(); });
    }
    scheduleIdleCheck();
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
    if (m_stopped) {
        // The device stays paused, now for idleness, unless playbacks were
        // started while it was stopped.
        m_stopped = false;
        m_idlePaused = true;
        if (anythingPlaying())
            resumeFromIdle();
    }
    return 1;
}

// True when a source of any sample plays, or a playback waits for its sound.
bool OpenAlSoundLibrary::anythingPlaying()
{
    for (const auto &[handle, sample] : m_samples) {
        if (std::find(sample.pending.begin(), sample.pending.end(), char { 1 })
            != sample.pending.end())
            return true;
        for (const ALuint source : sample.sources) {
            ALint state = AL_STOPPED;
            alGetSourcei(source, AL_SOURCE_STATE, &state);
            if (state == AL_PLAYING)
                return true;
        }
    }
    return false;
}

bool OpenAlSoundLibrary::pauseIfIdle()
{
    if (!ready() || m_stopped)
        return false;
    if (m_idlePaused)
        return true;
    takeDecodedSounds();
    if (anythingPlaying()) {
        scheduleIdleCheck();
        return false;
    }
    if (auto pause = pauseFunction(m_device)) {
        pause(m_device);
        m_idlePaused = true;
    }
    return m_idlePaused;
}

void OpenAlSoundLibrary::resumeFromIdle()
{
    if (!m_idlePaused)
        return;
    if (auto resume = resumeFunction(m_device))
        resume(m_device);
    m_idlePaused = false;
}

void OpenAlSoundLibrary::scheduleIdleCheck()
{
    if (m_idleTimer && !m_idleTimer->isActive())
        m_idleTimer->start();
}

int OpenAlSoundLibrary::BASS_Stop()
{
    if (!ready())
        return 0;
    for (auto &[handle, sample] : m_samples) {
        alSourceStopv(static_cast<ALsizei>(sample.sources.size()), sample.sources.data());
        std::fill(sample.pending.begin(), sample.pending.end(), 0);
    }
    alOk("BASS_Stop: stopping playbacks");
    if (m_idlePaused) {
        m_idlePaused = false;
        m_stopped = true;
    } else if (auto pause = pauseFunction(m_device)) {
        pause(m_device);
        m_stopped = true;
    }
    return 1;
}

// Long Ogg Vorbis samples are checked here but decoded on a worker (see the top
// of the file); WAV needs no real decoding, and FLAC is decoded at once because
// only decoding it to the end shows whether it was cut short, which must give 0.
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
    const auto *bytes = static_cast<const unsigned char *>(file) + offset;
    const bool inBackground = sampleContainerOf(bytes, length) == SampleContainer::OggVorbis
        && length >= m_backgroundDecodeBytes;

    std::string why;
    std::optional<PcmData> pcm;
    std::shared_ptr<DecodeJob> job;
    if (inBackground) {
        job = std::make_shared<DecodeJob>();
        job->gate = m_gate;
        job->bytes.assign(bytes, bytes + length);
        job->reader = SampleReader::open(job->bytes.data(), job->bytes.size(), &why);
        if (!job->reader) {
            qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
            return 0;
        }
    } else {
        pcm = decodeSample(bytes, length, &why);
        if (!pcm) {
            qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
            return 0;
        }
    }

    Sample sample;
    sample.flags = flags;
    if (!buildSources(sample, max)) {
        releaseSample(sample);
        return 0;
    }
    if (job && !startBackgroundDecode(sample, job)) {
        // No thread to be had: decode here after all.
        pcm = job->reader->decode(&why);
        job.reset();
        if (!pcm) {
            qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
            releaseSample(sample);
            return 0;
        }
    }
    if (pcm && !fillBuffer(sample, *pcm)) {
        releaseSample(sample);
        return 0;
    }

    // Handles are never 0 and not reused while the old one is still loaded.
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_samples.count(m_lastHandle));
    m_samples.emplace(m_lastHandle, std::move(sample));
    return m_lastHandle;
}

// The sample's playback sources, without sound yet.
bool OpenAlSoundLibrary::buildSources(Sample &sample, std::uint32_t max)
{
    alGetError();
    for (std::uint32_t i = 0; i < max; ++i) {
        ALuint source = 0;
        alGenSources(1, &source);
        if (!alOk("alGenSources"))
            return false;
        sample.sources.push_back(source);
        // Heard as it was recorded: no distance or direction from the listener.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcei(source, AL_LOOPING, (sample.flags & BASS_SAMPLE_LOOP) ? AL_TRUE : AL_FALSE);
        if (!alOk("setting up a playback source"))
            return false;
    }
    sample.startedAt.assign(sample.sources.size(), 0);
    return true;
}

// Puts the sound into a new buffer and gives it to every source of the sample.
bool OpenAlSoundLibrary::fillBuffer(Sample &sample, const PcmData &pcm)
{
    alGetError();
    alGenBuffers(1, &sample.buffer);
    if (!alOk("alGenBuffers")) {
        sample.buffer = 0;
        return false;
    }
    const auto bytes = pcm.samples.size() * sizeof(std::int16_t);
    alBufferData(sample.buffer, pcm.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
        pcm.samples.data(), static_cast<ALsizei>(bytes), pcm.sampleRate);
    if (!alOk("alBufferData"))
        return false;
    for (const ALuint source : sample.sources)
        alSourcei(source, AL_BUFFER, static_cast<ALint>(sample.buffer));
    return alOk("attaching the sound to its sources");
}

bool OpenAlSoundLibrary::startBackgroundDecode(Sample &sample, std::shared_ptr<DecodeJob> job)
{
    if (!m_receiver)
        m_receiver = std::make_unique<DecodeReceiver>([this] { takeDecodedSounds(); });
    QObject *receiver = m_receiver.get();
    sample.job = job;
    sample.pending.assign(sample.sources.size(), 0);
    try {
        sample.worker = std::thread([job = std::move(job), receiver] {
            job->run();
            if (!job->cancelled.load())
                QCoreApplication::postEvent(receiver, new QEvent(kDecodedEvent));
        });
    } catch (const std::system_error &error) {
        qCWarning(lcSound, "no thread for decoding in the background: %s", error.what());
        sample.job.reset();
        sample.pending.clear();
        return false;
    }
    return true;
}

void OpenAlSoundLibrary::takeDecodedSounds()
{
    if (!ready())
        return;
    for (auto &[handle, sample] : m_samples) {
        if (sample.job && sample.job->finished.load(std::memory_order_acquire))
            takeDecodedSound(handle, sample);
    }
}

// The worker has finished: its sound goes into the buffer and the playbacks
// asked for meanwhile start, together. A sound that could not be decoded after
// all leaves the sample silent.
void OpenAlSoundLibrary::takeDecodedSound(HSAMPLE handle, Sample &sample)
{
    sample.worker.join();
    const std::shared_ptr<DecodeJob> job = std::move(sample.job);
    std::vector<ALuint> waiting;
    for (std::size_t i = 0; i < sample.pending.size(); ++i) {
        if (sample.pending[i])
            waiting.push_back(sample.sources[i]);
    }
    sample.pending.clear();
    if (!job->pcm) {
        qCWarning(
            lcSound, "sample %u cannot be decoded (%s); it stays silent", handle, job->why.c_str());
        sample.silent = true;
        return;
    }
    if (!fillBuffer(sample, *job->pcm)) {
        qCWarning(lcSound, "sample %u: no buffer for its sound; it stays silent", handle);
        sample.silent = true;
        return;
    }
    if (!waiting.empty()) {
        alSourcePlayv(static_cast<ALsizei>(waiting.size()), waiting.data());
        alOk("starting playbacks that waited for their sound");
    }
}

// A loaded sample by handle, with any finished background decodes taken in
// first; nullptr without a device or for an unknown handle.
OpenAlSoundLibrary::Sample *OpenAlSoundLibrary::liveSample(HSAMPLE handle)
{
    if (!ready())
        return nullptr;
    takeDecodedSounds();
    const auto it = m_samples.find(handle);
    return it == m_samples.end() ? nullptr : &it->second;
}

// Starts one more playback on a source of the sample that is not playing; with
// every one busy the sample gives way (the longest-playing starts again) or
// refuses. While the sample is still decoding, the playback waits for the sound
// and counts as running from now.
std::uint32_t OpenAlSoundLibrary::BASS_SamplePlay(HSAMPLE handle)
{
    Sample *found = liveSample(handle);
    if (found == nullptr)
        return 0;
    Sample &sample = *found;
    if (sample.silent)
        return 0;
    alGetError();

    std::size_t chosen = sample.sources.size();
    for (std::size_t i = 0; i < sample.sources.size(); ++i) {
        bool busy = false;
        if (sample.job) {
            busy = sample.pending[i] != 0;
        } else {
            ALint state = AL_STOPPED;
            alGetSourcei(sample.sources[i], AL_SOURCE_STATE, &state);
            busy = state == AL_PLAYING;
        }
        if (!busy) {
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
    if (!m_stopped) {
        resumeFromIdle();
        scheduleIdleCheck();
    }
    if (sample.job) {
        sample.pending[chosen] = 1;
    } else {
        alSourceRewind(source);
        alSourcePlay(source);
        if (!alOk("BASS_SamplePlay"))
            return 0;
    }
    sample.startedAt[chosen] = ++m_playCounter;
    return source;
}

int OpenAlSoundLibrary::BASS_SampleStop(HSAMPLE handle)
{
    Sample *sample = liveSample(handle);
    if (sample == nullptr)
        return 0;
    std::fill(sample->pending.begin(), sample->pending.end(), 0);
    auto &sources = sample->sources;
    alSourceStopv(static_cast<ALsizei>(sources.size()), sources.data());
    const bool stopped = alOk("BASS_SampleStop");
    scheduleIdleCheck();
    return stopped ? 1 : 0;
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

// Stops a background decoding that is still running and waits for its worker.
void OpenAlSoundLibrary::endBackgroundDecode(Sample &sample)
{
    if (sample.worker.joinable()) {
        sample.job->cancel();
        sample.worker.join();
    }
    sample.job.reset();
    sample.pending.clear();
}

void OpenAlSoundLibrary::releaseSample(Sample &sample)
{
    endBackgroundDecode(sample);
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

bool OpenAlSoundLibrary::isDecoding(HSAMPLE handle) const
{
    const auto it = m_samples.find(handle);
    return it != m_samples.end() && it->second.job != nullptr;
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
    const Sample *sample = liveSample(handle);
    if (sample == nullptr)
        return 0;
    if (sample->job)
        return static_cast<int>(
            std::count(sample->pending.begin(), sample->pending.end(), char { 1 }));
    int playing = 0;
    for (const ALuint source : sample->sources) {
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
    // Every worker is told to stop before the first is waited for.
    for (auto &[handle, sample] : m_samples) {
        if (sample.job)
            sample.job->cancel();
    }
    if (ready()) {
        for (auto &[handle, sample] : m_samples)
            releaseSample(sample);
    }
    m_samples.clear(); // joins any worker left
    if (alcGetCurrentContext() == m_context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(m_context);
    if (alcCloseDevice(m_device) == ALC_FALSE)
        qCWarning(lcSound, "BASS_Free: closing the output device failed");
    m_context = nullptr;
    m_device = nullptr;
    m_stopped = false;
    m_idlePaused = false;
    m_idleTimer.reset();
    m_volume = 100;
}

std::unique_ptr<SoundLibrary> createOpenAlSoundLibrary()
{
    return std::make_unique<OpenAlSoundLibrary>();
}

} // namespace dorvel::platform
