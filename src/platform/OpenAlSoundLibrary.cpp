// Threads. Every call arrives on the user-interface thread. Besides it there
// are the refill worker (streaming, below), the one that opens the device
// ahead, and decode workers, one per sample being decoded in the background (a
// long Ogg Vorbis sample below the streaming size):
//
// - m_mutex guards the library's state (m_samples with their voices, the open
//   device, the volume, the idle flags) and every OpenAL call made here: each
//   public call takes it, and so does the refill worker for each round. Only
//   the user-interface thread touches the Qt objects (timers, m_receiver) and
//   makes the context current; the refill worker binds it for itself alone
//   (ALC_EXT_thread_local_context), so the two never fight over it.
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
// - openDeviceAhead's worker opens a device and its context and touches nothing
//   else; BASS_Init, BASS_Free or the destructor waits for it and takes its
//   result (the future orders the two).
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
//
// Streaming. A streamed sample keeps its compressed bytes; each of its sources
// that plays has a Voice with its own SampleReader over those bytes and a few
// buffers queued on the source. refillVoices refills the buffers the mixer has
// used up, starts a source again that ran dry before a refill came, and ends
// voices that have played out. The refill worker runs it every
// kStreamServiceMs while a voice is active (and sleeps on its condition
// variable otherwise, so an idle program wakes nothing); every call about a
// sample runs it too. A refill never waits for the user-interface thread, so a
// busy or blocked event loop cannot starve the music. A streamed source never
// loops in OpenAL (a looping source reports no processed buffers, so its first
// few buffers would repeat for ever): a looping voice starts its reader over
// at the end, within the same buffer, so the loop has no gap.
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
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
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

void OpenAlSoundLibrary::openDeviceAhead(std::uint32_t freq)
{
    const std::lock_guard lock(m_mutex);
    if (m_open.device || m_ahead.valid())
        return;
    // Opening asks the sound system (a server, or ALSA probing its cards), which
    // can take tens of milliseconds; nothing but this device is touched there.
    try {
        m_ahead = std::async(std::launch::async, [freq] { return openDevice(freq); });
    } catch (const std::system_error &) {
        // No thread to be had: BASS_Init opens the device itself, as without this.
    }
}

// Device and context for the rate; without a device, neither. The context is
// not made current: that is process-wide and left to BASS_Init.
OpenAlSoundLibrary::OpenedDevice OpenAlSoundLibrary::openDevice(std::uint32_t freq)
{
    OpenedDevice opened;
    opened.freq = freq;
    opened.device = alcOpenDevice(nullptr);
    if (!opened.device)
        return opened;
    ALCint attributes[3] = { 0, 0, 0 };
    if (freq >= 8000 && freq <= 192000) {
        attributes[0] = ALC_FREQUENCY;
        attributes[1] = static_cast<ALCint>(freq);
    }
    opened.context = alcCreateContext(opened.device, attributes);
    return opened;
}

// False when the device would not close.
bool OpenAlSoundLibrary::closeDevice(OpenedDevice &opened)
{
    if (opened.context) {
        if (alcGetCurrentContext() == opened.context)
            alcMakeContextCurrent(nullptr);
        alcDestroyContext(opened.context);
    }
    const bool closed = !opened.device || alcCloseDevice(opened.device) != ALC_FALSE;
    opened = {};
    return closed;
}

// `device` and `win` choose nothing here: the system's default output is always
// used, and no window is needed. `freq` becomes the mixing rate when sensible.
int OpenAlSoundLibrary::BASS_Init(int, std::uint32_t freq, std::uint32_t, void *)
{
    const std::lock_guard lock(m_mutex);
    if (m_open.device) {
        qCWarning(lcSound, "BASS_Init: already initialised");
        return 0;
    }
    OpenedDevice opened;
    if (m_ahead.valid()) {
        opened = m_ahead.get();
        if (opened.freq != freq) {
            closeDevice(opened);
            opened = openDevice(freq);
        }
    } else {
        opened = openDevice(freq);
    }
    if (!opened.device) {
        qCInfo(lcSound, "BASS_Init: no output device could be opened");
        return 0;
    }
    if (!opened.context || alcMakeContextCurrent(opened.context) == ALC_FALSE) {
        qCWarning(lcSound, "BASS_Init: no OpenAL context on the output device");
        closeDevice(opened);
        return 0;
    }
    m_open = opened;
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
    if (!m_open.device || !m_open.context)
        return false;
    // Another library object may have made its own context current meanwhile.
    if (alcGetCurrentContext() != m_open.context
        && alcMakeContextCurrent(m_open.context) == ALC_FALSE) {
        qCWarning(lcSound, "cannot make the sound context current");
        return false;
    }
    return true;
}

int OpenAlSoundLibrary::BASS_Start()
{
    const std::lock_guard lock(m_mutex);
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

// Whether playback `index` of the sample runs: it waits for the sound still
// decoding, streams, or its source plays.
bool OpenAlSoundLibrary::isBusy(const Sample &sample, std::size_t index)
{
    if (sample.job)
        return sample.pending[index] != 0;
    if (!sample.voices.empty())
        return sample.voices[index].active;
    ALint state = AL_STOPPED;
    alGetSourcei(sample.sources[index], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

// True when a playback of any sample runs.
bool OpenAlSoundLibrary::anythingPlaying()
{
    for (const auto &[handle, sample] : m_samples) {
        for (std::size_t i = 0; i < sample.sources.size(); ++i) {
            if (isBusy(sample, i))
                return true;
        }
    }
    return false;
}

bool OpenAlSoundLibrary::pauseIfIdle()
{
    const std::lock_guard lock(m_mutex);
    return pauseIfIdleLocked();
}

bool OpenAlSoundLibrary::pauseIfIdleLocked()
{
    if (!ready() || m_stopped)
        return false;
    if (m_idlePaused)
        return true;
    takeDecodedSoundsLocked();
    if (anythingPlaying()) {
        scheduleIdleCheck();
        return false;
    }
    if (auto pause = pauseFunction(m_open.device)) {
        pause(m_open.device);
        m_idlePaused = true;
    }
    return m_idlePaused;
}

void OpenAlSoundLibrary::resumeFromIdle()
{
    if (!m_idlePaused)
        return;
    if (auto resume = resumeFunction(m_open.device))
        resume(m_open.device);
    m_idlePaused = false;
}

void OpenAlSoundLibrary::scheduleIdleCheck()
{
    if (m_idleTimer && !m_idleTimer->isActive())
        m_idleTimer->start();
}

int OpenAlSoundLibrary::BASS_Stop()
{
    const std::lock_guard lock(m_mutex);
    if (!ready())
        return 0;
    for (auto &[handle, sample] : m_samples) {
        alSourceStopv(static_cast<ALsizei>(sample.sources.size()), sample.sources.data());
        std::fill(sample.pending.begin(), sample.pending.end(), 0);
        stopVoices(sample);
    }
    alOk("BASS_Stop: stopping playbacks");
    if (m_idlePaused) {
        m_idlePaused = false;
        m_stopped = true;
    } else if (auto pause = pauseFunction(m_open.device)) {
        pause(m_open.device);
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
    const std::lock_guard lock(m_mutex);
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
    const bool ogg = sampleContainerOf(bytes, length) == SampleContainer::OggVorbis;
    if (ogg && length >= m_streamBytes)
        return loadStreamed(bytes, length, max, flags);
    const bool inBackground = ogg && length >= m_backgroundDecodeBytes;

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
    if (!buildSources(sample, max, (flags & BASS_SAMPLE_LOOP) != 0)) {
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
    return keep(std::move(sample));
}

HSAMPLE OpenAlSoundLibrary::keep(Sample &&sample)
{
    // Handles are never 0 and not reused while the old one is still loaded.
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_samples.count(m_lastHandle));
    m_samples.emplace(m_lastHandle, std::move(sample));
    return m_lastHandle;
}

// A sample played while decoding: its bytes are copied (the caller may let go
// of its own) and checked as any Ogg sample; the first voice keeps the reader
// that did the checks. Moving the Sample keeps the bytes where they are.
HSAMPLE OpenAlSoundLibrary::loadStreamed(
    const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    Sample sample;
    sample.flags = flags;
    sample.encoded.assign(bytes, bytes + length);
    std::string why;
    auto reader = SampleReader::open(sample.encoded.data(), sample.encoded.size(), &why);
    if (!reader) {
        qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
        return 0;
    }
    // Its sources never loop themselves: the voice's reader loops (see the top).
    if (!buildSources(sample, max, false)) {
        releaseSample(sample);
        return 0;
    }
    sample.voices.resize(sample.sources.size());
    sample.voices.front().reader = std::move(reader);
    return keep(std::move(sample));
}

// Starts source `index` of a streamed sample from the beginning.
bool OpenAlSoundLibrary::startVoice(Sample &sample, std::size_t index)
{
    Voice &voice = sample.voices[index];
    const ALuint source = sample.sources[index];
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0); // drops what is still queued
    voice.active = false;
    voice.atEnd = false;
    if (!voice.reader)
        voice.reader = SampleReader::open(sample.encoded.data(), sample.encoded.size());
    else if (!voice.reader->rewind())
        voice.reader.reset();
    if (!voice.reader)
        return false;
    if (voice.buffers.empty()) {
        voice.buffers.assign(kStreamBuffers, 0);
        alGenBuffers(kStreamBuffers, voice.buffers.data());
        if (!alOk("alGenBuffers for a stream")) {
            voice.buffers.clear();
            return false;
        }
    }
    std::vector<ALuint> filled;
    for (const ALuint buffer : voice.buffers) {
        if (!fillVoiceBuffer(sample, voice, buffer))
            break;
        filled.push_back(buffer);
    }
    if (filled.empty())
        return false;
    alSourceQueueBuffers(source, static_cast<ALsizei>(filled.size()), filled.data());
    alSourcePlay(source);
    if (!alOk("starting a streamed playback"))
        return false;
    voice.active = true;
    wakeRefillWorker();
    return true;
}

// Decodes the voice's next kStreamFrames into `buffer`; false when nothing is
// left to play.
bool OpenAlSoundLibrary::fillVoiceBuffer(const Sample &sample, Voice &voice, unsigned int buffer)
{
    if (voice.atEnd || !voice.reader)
        return false;
    const auto channels = static_cast<std::size_t>(voice.reader->outputChannels());
    m_streamScratch.resize(kStreamFrames * channels);
    const bool loops = (sample.flags & BASS_SAMPLE_LOOP) != 0;
    std::size_t got = 0;
    bool justRewound = false; // a sound that gives nothing after a rewind ends
    while (got < kStreamFrames) {
        const std::size_t more
            = voice.reader->read(m_streamScratch.data() + got * channels, kStreamFrames - got);
        got += more;
        if (more > 0)
            justRewound = false;
        else if (loops && !justRewound && voice.reader->rewind())
            justRewound = true; // the loop's seam, inside this buffer
        else
            break;
    }
    if (got < kStreamFrames)
        voice.atEnd = true; // the end of a sound that does not loop, or damage
    if (got == 0)
        return false;
    alBufferData(buffer, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
        m_streamScratch.data(), static_cast<ALsizei>(got * channels * sizeof(std::int16_t)),
        voice.reader->format().sampleRate);
    return alOk("filling a stream buffer");
}

void OpenAlSoundLibrary::stopVoices(Sample &sample)
{
    for (std::size_t i = 0; i < sample.voices.size(); ++i) {
        alSourceStop(sample.sources[i]);
        alSourcei(sample.sources[i], AL_BUFFER, 0);
        sample.voices[i].active = false;
        sample.voices[i].atEnd = false;
    }
}

void OpenAlSoundLibrary::serviceStreams()
{
    const std::lock_guard lock(m_mutex);
    if (ready())
        refillVoices();
}

// Wakes the refill worker for a voice that has just started; starts the worker
// at the first one.
void OpenAlSoundLibrary::wakeRefillWorker()
{
    if (m_refillWorker.joinable()) {
        m_refillWake.notify_one();
        return;
    }
    m_refillQuit = false;
    try {
        m_refillWorker = std::thread([this] { runRefillWorker(); });
    } catch (const std::system_error &error) {
        // Every call about a sample still refills, as long as calls come.
        qCWarning(lcSound, "no thread for refilling streams: %s", error.what());
    }
}

namespace {

    // Makes `context` current for the calling thread alone; false when OpenAL
    // cannot, and the process-wide current context has to serve.
    bool bindThreadContext(ALCcontext *context)
    {
        static const auto setThreadContext = [] {
            return alcIsExtensionPresent(nullptr, "ALC_EXT_thread_local_context")
                ? reinterpret_cast<PFNALCSETTHREADCONTEXTPROC>(
                    alcGetProcAddress(nullptr, "alcSetThreadContext"))
                : nullptr;
        }();
        return setThreadContext && setThreadContext(context) != ALC_FALSE;
    }

} // namespace

// On the refill worker: sleeps while no voice is active, refills every
// kStreamServiceMs while one is, until stopRefillWorker.
void OpenAlSoundLibrary::runRefillWorker()
{
    std::unique_lock lock(m_mutex);
    while (!m_refillQuit) {
        const bool streaming = std::any_of(m_samples.begin(), m_samples.end(), [](const auto &s) {
            return std::any_of(s.second.voices.begin(), s.second.voices.end(),
                [](const Voice &voice) { return voice.active; });
        });
        if (streaming)
            m_refillWake.wait_for(lock, std::chrono::milliseconds(kStreamServiceMs));
        else
            m_refillWake.wait(lock);
        if (m_refillQuit || !m_open.context)
            continue;
        if (bindThreadContext(m_open.context) || ready())
            refillVoices();
    }
    bindThreadContext(nullptr);
}

// Ends the refill worker; called without m_mutex held.
void OpenAlSoundLibrary::stopRefillWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_refillQuit = true;
    }
    m_refillWake.notify_one();
    if (m_refillWorker.joinable())
        m_refillWorker.join();
}

void OpenAlSoundLibrary::refillVoices()
{
    alGetError();
    for (auto &[handle, sample] : m_samples) {
        for (std::size_t i = 0; i < sample.voices.size(); ++i) {
            Voice &voice = sample.voices[i];
            if (!voice.active)
                continue;
            const ALuint source = sample.sources[i];
            ALint processed = 0;
            alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
            for (; processed > 0; --processed) {
                ALuint buffer = 0;
                alSourceUnqueueBuffers(source, 1, &buffer);
                if (fillVoiceBuffer(sample, voice, buffer))
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
                    voice.active = false; // played to its end
            }
        }
    }
    alOk("refilling streamed playbacks");
}

bool OpenAlSoundLibrary::isStreamed(HSAMPLE handle) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_samples.find(handle);
    return it != m_samples.end() && !it->second.voices.empty();
}

// The sample's playback sources, without sound yet.
bool OpenAlSoundLibrary::buildSources(Sample &sample, std::uint32_t max, bool loopSources)
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
        alSourcei(source, AL_LOOPING, loopSources ? AL_TRUE : AL_FALSE);
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
        m_receiver = std::make_unique<DecodeReceiver>([this] {
            const std::lock_guard lock(m_mutex);
            takeDecodedSoundsLocked();
        });
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

void OpenAlSoundLibrary::takeDecodedSoundsLocked()
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
    takeDecodedSoundsLocked();
    refillVoices();
    const auto it = m_samples.find(handle);
    return it == m_samples.end() ? nullptr : &it->second;
}

// Starts one more playback on a source of the sample that is not playing; with
// every one busy the sample gives way (the longest-playing starts again) or
// refuses. While the sample is still decoding, the playback waits for the sound
// and counts as running from now.
std::uint32_t OpenAlSoundLibrary::BASS_SamplePlay(HSAMPLE handle)
{
    const std::lock_guard lock(m_mutex);
    Sample *found = liveSample(handle);
    if (found == nullptr)
        return 0;
    Sample &sample = *found;
    if (sample.silent)
        return 0;
    alGetError();

    std::size_t chosen = sample.sources.size();
    for (std::size_t i = 0; i < sample.sources.size(); ++i) {
        if (!isBusy(sample, i)) {
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
    } else if (!sample.voices.empty()) {
        if (!startVoice(sample, chosen))
            return 0;
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
    const std::lock_guard lock(m_mutex);
    Sample *sample = liveSample(handle);
    if (sample == nullptr)
        return 0;
    std::fill(sample->pending.begin(), sample->pending.end(), 0);
    auto &sources = sample->sources;
    alSourceStopv(static_cast<ALsizei>(sources.size()), sources.data());
    stopVoices(*sample);
    const bool stopped = alOk("BASS_SampleStop");
    scheduleIdleCheck();
    return stopped ? 1 : 0;
}

void OpenAlSoundLibrary::BASS_SampleFree(HSAMPLE handle)
{
    const std::lock_guard lock(m_mutex);
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
    for (Voice &voice : sample.voices) {
        if (!voice.buffers.empty())
            alDeleteBuffers(static_cast<ALsizei>(voice.buffers.size()), voice.buffers.data());
    }
    sample.voices.clear();
    alOk("releasing a sample");
}

bool OpenAlSoundLibrary::isDecoding(HSAMPLE handle) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_samples.find(handle);
    return it != m_samples.end() && it->second.job != nullptr;
}

int OpenAlSoundLibrary::BASS_GetVolume()
{
    const std::lock_guard lock(m_mutex);
    if (!ready())
        return 0;
    return m_volume;
}

// The volume bar hands over its position divided by 3 without clamping it, so
// anything may arrive here; outside 0..100 counts as the nearest end.
int OpenAlSoundLibrary::BASS_SetVolume(int volume)
{
    const std::lock_guard lock(m_mutex);
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

std::size_t OpenAlSoundLibrary::loadedSamples() const
{
    const std::lock_guard lock(m_mutex);
    return m_samples.size();
}

int OpenAlSoundLibrary::activePlaybacks(HSAMPLE handle)
{
    const std::lock_guard lock(m_mutex);
    const Sample *sample = liveSample(handle);
    if (sample == nullptr)
        return 0;
    int playing = 0;
    for (std::size_t i = 0; i < sample->sources.size(); ++i) {
        if (isBusy(*sample, i))
            ++playing;
    }
    return playing;
}

void OpenAlSoundLibrary::BASS_Free()
{
    // The worker takes m_mutex for each round, so it is ended before taking it here.
    stopRefillWorker();
    const std::lock_guard lock(m_mutex);
    freeLocked();
}

void OpenAlSoundLibrary::freeLocked()
{
    if (m_ahead.valid()) {
        OpenedDevice unclaimed = m_ahead.get();
        closeDevice(unclaimed);
    }
    if (!m_open.device)
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
    if (!closeDevice(m_open))
        qCWarning(lcSound, "BASS_Free: closing the output device failed");
    m_stopped = false;
    m_idlePaused = false;
    m_idleTimer.reset();
    m_volume = 100;
}

std::unique_ptr<SoundLibrary> createOpenAlSoundLibrary(std::uint32_t openAheadFreq)
{
    auto library = std::make_unique<OpenAlSoundLibrary>();
    if (openAheadFreq != 0)
        library->openDeviceAhead(openAheadFreq);
    return library;
}

} // namespace dorvel::platform
