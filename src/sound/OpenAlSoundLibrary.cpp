// Threads. Every call arrives on the user-interface thread. Besides it there
// are the library's worker, the thread that opens the device ahead, and decode
// workers, one per sample being decoded in the background:
//
// - m_mutex guards the library's state (the device, m_lost, m_samples with
//   their voices, the volume) and every OpenAL call made here: each public
//   call takes it, and so does the worker for each of its rounds. Only the
//   user-interface thread touches the Qt objects (m_idleTimer, m_receiver) and
//   makes the context current for the process; the worker binds it for itself
//   alone (ALC_EXT_thread_local_context), so the two never fight over it.
// - The worker sleeps on m_wake. While a streamed playback runs it wakes every
//   kStreamServiceMs to refill it (so a blocked user-interface thread cannot
//   starve the music) and to see whether the device is still there; while the
//   device is lost it tries a new one every kReopenMs, opening it without the
//   lock (it asks the sound system and may take a while) and swapping it in
//   with the lock. Otherwise it waits without a timeout: an idle program wakes
//   nothing. BASS_Free and the destructor end it before taking the lock.
// - A decode worker touches only its BackgroundDecode's job (see there). It
//   posts its hand-over to m_receiver, which lives on the user-interface
//   thread; every call about a sample also takes in finished sounds first, so
//   nothing depends on an event loop running. Every decode worker is joined
//   before m_receiver goes, so none posts to a dead object.
// - openDeviceAhead's worker opens a device and its context and touches
//   nothing else; BASS_Init, BASS_Free or the destructor takes its result.
//
// Idle pausing. OpenAL Soft's mixer thread wakes every output period even when
// every source is silent; that alone was the program's whole idle load. So the
// device is paused once nothing plays and resumed by the next play. The check
// is a single-shot QTimer on the user-interface thread, armed by each play and
// stop and re-armed while something still plays, so at rest nothing wakes up.
//
// A lost device. OpenAL Soft 1.19 cannot reopen a device, so coming back means
// a new device and context: every sample makes its sources and buffers again
// there from what it kept (its PCM, or its compressed bytes) and starts again
// what should go on playing. The loss is seen at any call about a sample, by
// the idle check and by the worker's rounds while streaming.
#include "OpenAlSoundLibrary.h"

#include "OpenAlCheck.h"

#include <AL/al.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <string>
#include <system_error>

namespace dorvel::sound {

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
    m_gate->hold(hold);
}

std::uint32_t OpenAlSoundLibrary::BASS_GetVersion()
{
    return kBassVersion17;
}

void OpenAlSoundLibrary::openDeviceAhead(std::uint32_t freq)
{
    const std::lock_guard lock(m_mutex);
    m_device.openAhead(freq);
}

// `device` and `win` choose nothing here: the system's default output is always
// used, and no window is needed. `freq` becomes the mixing rate when sensible.
int OpenAlSoundLibrary::BASS_Init(int, std::uint32_t freq, std::uint32_t, void *)
{
    const std::lock_guard lock(m_mutex);
    if (m_device.isOpen()) {
        qCWarning(lcSound, "BASS_Init: already initialised");
        return 0;
    }
    if (!m_device.open(freq))
        return 0;
    m_lost = false;
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
    return m_device.makeCurrent();
}

int OpenAlSoundLibrary::BASS_Start()
{
    const std::lock_guard lock(m_mutex);
    if (!ready())
        return 0;
    // The device stays paused, now for idleness, unless playbacks were started
    // while it was stopped.
    m_device.start(anythingPlaying());
    return 1;
}

bool OpenAlSoundLibrary::anythingPlaying() const
{
    return std::any_of(m_samples.begin(), m_samples.end(),
        [](const auto &entry) { return entry.second.busyCount() > 0; });
}

bool OpenAlSoundLibrary::pauseIfIdle()
{
    const std::lock_guard lock(m_mutex);
    return pauseIfIdleLocked();
}

bool OpenAlSoundLibrary::pauseIfIdleLocked()
{
    if (!ready() || m_device.isStopped())
        return false;
    if (m_device.isIdlePaused())
        return true;
    takeDecodedSounds();
    watchConnection();
    if (anythingPlaying()) {
        scheduleIdleCheck();
        return false;
    }
    return m_device.pauseForIdle();
}

bool OpenAlSoundLibrary::isIdlePaused() const
{
    const std::lock_guard lock(m_mutex);
    return m_device.isIdlePaused();
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
    for (auto &[handle, sample] : m_samples)
        sample.stopAll();
    alOk("BASS_Stop: stopping playbacks");
    m_device.stop();
    return 1;
}

// Long Ogg Vorbis samples are streamed or decoded on a worker; WAV needs no
// real decoding, and FLAC is decoded at once because only decoding it to the
// end shows whether it was cut short, which must give 0.
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
    if (ogg && length >= m_backgroundDecodeBytes)
        return loadInBackground(bytes, length, max, flags);
    return loadInMemory(bytes, length, max, flags);
}

HSAMPLE OpenAlSoundLibrary::loadInMemory(
    const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    std::string why;
    std::optional<PcmData> pcm = decodeSample(bytes, length, &why);
    if (!pcm) {
        qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
        return 0;
    }
    SoundSample sample(SampleMode::InMemory, flags);
    if (!sample.buildSources(max)
        || !sample.fillBuffer(std::make_shared<const PcmData>(std::move(*pcm)))) {
        sample.release();
        return 0;
    }
    return keep(std::move(sample));
}

// The bytes are checked here, so bad data still gives 0, and decoded on a
// worker; without a thread to be had, they are decoded here after all.
HSAMPLE OpenAlSoundLibrary::loadInBackground(
    const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    std::string why;
    auto decode = BackgroundDecode::prepare(bytes, length, m_gate, &why);
    if (!decode) {
        qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
        return 0;
    }
    if (!m_receiver) {
        m_receiver = std::make_unique<DecodeReceiver>([this] {
            const std::lock_guard lock(m_mutex);
            if (ready())
                takeDecodedSounds();
        });
    }
    if (!decode->start(m_receiver.get())) {
        qCWarning(lcSound, "no thread for decoding in the background");
        std::optional<PcmData> pcm = decode->decodeHere(&why);
        SoundSample sample(SampleMode::InMemory, flags);
        if (!pcm || !sample.buildSources(max)
            || !sample.fillBuffer(std::make_shared<const PcmData>(std::move(*pcm)))) {
            qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
            sample.release();
            return 0;
        }
        return keep(std::move(sample));
    }
    SoundSample sample(SampleMode::DecodingInBackground, flags);
    if (!sample.buildSources(max)) {
        sample.release(); // ends the decoding too
        return 0;
    }
    sample.setDecode(std::move(decode));
    return keep(std::move(sample));
}

// A sample played while decoding: its bytes are copied (the caller may let go
// of its own) and checked as any Ogg sample; the first voice keeps the reader
// that did the checks.
HSAMPLE OpenAlSoundLibrary::loadStreamed(
    const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags)
{
    std::vector<unsigned char> encoded(bytes, bytes + length);
    std::string why;
    auto reader = SampleReader::open(encoded.data(), encoded.size(), &why);
    if (!reader) {
        qCWarning(lcSound, "BASS_SampleLoad: undecodable sample (%s)", why.c_str());
        return 0;
    }
    SoundSample sample(SampleMode::Streamed, flags);
    if (!sample.buildSources(max)) {
        sample.release();
        return 0;
    }
    sample.setStream(std::move(encoded), std::move(reader));
    return keep(std::move(sample));
}

HSAMPLE OpenAlSoundLibrary::keep(SoundSample &&sample)
{
    // Handles are never 0 and not reused while the old one is still loaded.
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_samples.count(m_lastHandle));
    m_samples.emplace(m_lastHandle, std::move(sample));
    return m_lastHandle;
}

void OpenAlSoundLibrary::takeDecodedSounds()
{
    for (auto &[handle, sample] : m_samples)
        sample.takeDecoded(handle);
}

// A loaded sample by handle, with any finished background decodes taken in and
// the streams refilled first; nullptr without a device or for an unknown handle.
SoundSample *OpenAlSoundLibrary::liveSample(HSAMPLE handle)
{
    if (!ready())
        return nullptr;
    takeDecodedSounds();
    watchConnection();
    refillStreams();
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
    SoundSample *sample = liveSample(handle);
    if (sample == nullptr || sample->isSilent())
        return 0;
    alGetError();
    const auto chosen = sample->choosePlayback((sample->flags() & BASS_SAMPLE_OVER_POS) != 0);
    if (!chosen)
        return 0;
    if (!m_device.isStopped()) {
        m_device.resumeFromIdle();
        scheduleIdleCheck();
        watchConnection(); // a device the sound system dropped fails to resume
    }
    const std::uint32_t source = m_lost ? sample->playLater(*chosen, ++m_playCounter)
                                        : sample->play(*chosen, ++m_playCounter);
    if (sample->hasActiveVoice())
        wakeWorker();
    return source;
}

int OpenAlSoundLibrary::BASS_SampleStop(HSAMPLE handle)
{
    const std::lock_guard lock(m_mutex);
    SoundSample *sample = liveSample(handle);
    if (sample == nullptr)
        return 0;
    sample->stopAll();
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
    it->second.release();
    m_samples.erase(it);
}

bool OpenAlSoundLibrary::isDecoding(HSAMPLE handle) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_samples.find(handle);
    return it != m_samples.end() && it->second.mode() == SampleMode::DecodingInBackground;
}

bool OpenAlSoundLibrary::isStreamed(HSAMPLE handle) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_samples.find(handle);
    return it != m_samples.end() && it->second.mode() == SampleMode::Streamed;
}

std::size_t OpenAlSoundLibrary::loadedSamples() const
{
    const std::lock_guard lock(m_mutex);
    return m_samples.size();
}

void OpenAlSoundLibrary::setBackgroundDecodeBytes(std::size_t bytes)
{
    const std::lock_guard lock(m_mutex);
    m_backgroundDecodeBytes = bytes;
}

void OpenAlSoundLibrary::setStreamBytes(std::size_t bytes)
{
    const std::lock_guard lock(m_mutex);
    m_streamBytes = bytes;
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

int OpenAlSoundLibrary::activePlaybacks(HSAMPLE handle)
{
    const std::lock_guard lock(m_mutex);
    const SoundSample *sample = liveSample(handle);
    return sample == nullptr ? 0 : sample->busyCount();
}

void OpenAlSoundLibrary::BASS_Free()
{
    // The worker takes m_mutex for each round, so it is ended before taking it here.
    stopWorker();
    const std::lock_guard lock(m_mutex);
    freeLocked();
}

void OpenAlSoundLibrary::freeLocked()
{
    if (!m_device.isOpen()) {
        m_device.close(); // a device opened ahead that nobody took
        return;
    }
    // Every decode worker is told to stop before the first is waited for.
    for (auto &[handle, sample] : m_samples)
        sample.cancelDecode();
    if (ready()) {
        for (auto &[handle, sample] : m_samples)
            sample.release();
    }
    m_samples.clear(); // joins any decode worker left
    if (!m_device.close())
        qCWarning(lcSound, "BASS_Free: closing the output device failed");
    m_lost = false;
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

} // namespace dorvel::sound
