// The library's worker: it refills streamed playbacks and brings a lost device
// back. The threading rules are at the top of OpenAlSoundLibrary.cpp.
#include "OpenAlSoundLibrary.h"

#include "OpenAlCheck.h"

#include <AL/al.h>

#include <algorithm>

namespace dorvel::sound {

void OpenAlSoundLibrary::serviceStreams()
{
    const std::lock_guard lock(m_mutex);
    if (ready())
        refillStreams();
}

// While the device is lost nothing is refilled: the voices that run start
// again on the new device.
void OpenAlSoundLibrary::refillStreams()
{
    if (m_lost)
        return;
    alGetError();
    for (auto &[handle, sample] : m_samples)
        sample.refill();
    alOk("refilling streamed playbacks");
}

bool OpenAlSoundLibrary::streaming() const
{
    return std::any_of(m_samples.begin(), m_samples.end(),
        [](const auto &entry) { return entry.second.hasActiveVoice(); });
}

// Sees whether the sound system has dropped the device; if so, the worker
// starts trying to open a new one.
void OpenAlSoundLibrary::watchConnection()
{
    if (m_lost || m_device.isConnected())
        return;
    qCWarning(
        lcSound, "the output device was lost; trying the default output every %d ms", kReopenMs);
    m_lost = true;
    // The first try at once: the loss may be seen only after the sound system is back.
    m_nextReopen = std::chrono::steady_clock::now();
    wakeWorker();
}

// Wakes the worker for new work; starts it the first time.
void OpenAlSoundLibrary::wakeWorker()
{
    if (m_worker.joinable()) {
        m_wake.notify_one();
        return;
    }
    m_workerQuit = false;
    try {
        m_worker = std::thread([this] { runWorker(); });
    } catch (const std::system_error &error) {
        // Every call about a sample still refills, as long as calls come.
        qCWarning(lcSound, "no thread for the sound worker: %s", error.what());
    }
}

void OpenAlSoundLibrary::runWorker()
{
    std::unique_lock lock(m_mutex);
    while (!m_workerQuit) {
        if (m_lost)
            m_wake.wait_until(lock, m_nextReopen);
        else if (streaming())
            m_wake.wait_for(lock, std::chrono::milliseconds(kStreamServiceMs));
        else
            m_wake.wait(lock);
        if (!m_workerQuit)
            workerRound();
        if (m_lost && std::chrono::steady_clock::now() >= m_nextReopen)
            reopenDevice(lock);
    }
    m_device.bindToThisThread(nullptr);
}

// Refills the streams and looks after the device, under the lock.
void OpenAlSoundLibrary::workerRound()
{
    if (m_lost || !m_device.isOpen() || !m_device.bindToThisThread(m_device.context()))
        return;
    watchConnection();
    refillStreams();
}

// Opens the default output without the lock (it asks the sound system), then
// puts it in place of the lost device, unless the library was freed meanwhile.
void OpenAlSoundLibrary::reopenDevice(std::unique_lock<std::mutex> &lock)
{
    const std::uint32_t freq = m_device.freq();
    lock.unlock();
    SoundDevice::Opened opened = SoundDevice::openDefault(freq);
    lock.lock();
    m_nextReopen = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReopenMs);
    if (m_workerQuit || !m_lost || !m_device.isOpen() || !opened.context) {
        SoundDevice::discard(opened);
        return;
    }
    qCInfo(lcSound, "a new output device opened; the samples are made again on it");
    for (auto &[handle, sample] : m_samples)
        sample.forgetDevice();
    m_device.replace(opened);
    m_lost = false;
    if (m_device.bindToThisThread(m_device.context()))
        restoreSamples();
}

// On the new device: every sample's sources and sound, what should play, and
// the volume; a device with nothing to play is paused for idleness at once.
void OpenAlSoundLibrary::restoreSamples()
{
    alGetError();
    for (auto &[handle, sample] : m_samples) {
        if (!sample.restore())
            qCWarning(lcSound, "sample %u could not be made again on the new device", handle);
    }
    applyVolume();
    if (anythingPlaying())
        m_device.resumeFromIdle();
    else
        m_device.pauseForIdle();
}

// Ends the worker; called without m_mutex held.
void OpenAlSoundLibrary::stopWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_workerQuit = true;
    }
    m_wake.notify_one();
    if (m_worker.joinable())
        m_worker.join();
}

bool OpenAlSoundLibrary::isDeviceLost() const
{
    const std::lock_guard lock(m_mutex);
    return m_lost;
}

} // namespace dorvel::sound
