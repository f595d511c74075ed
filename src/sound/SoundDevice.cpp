#include "SoundDevice.h"

#include "OpenAlCheck.h"

#include <AL/alext.h>

#include <system_error>

namespace dorvel::sound {

namespace {

    template <typename Function> Function deviceFunction(ALCdevice *device, const char *name)
    {
        if (!alcIsExtensionPresent(device, "ALC_SOFT_pause_device"))
            return nullptr;
        return reinterpret_cast<Function>(alcGetProcAddress(device, name));
    }

    PFNALCSETTHREADCONTEXTPROC threadContextFunction()
    {
        static const auto function = [] {
            return alcIsExtensionPresent(nullptr, "ALC_EXT_thread_local_context")
                ? reinterpret_cast<PFNALCSETTHREADCONTEXTPROC>(
                    alcGetProcAddress(nullptr, "alcSetThreadContext"))
                : nullptr;
        }();
        return function;
    }

} // namespace

SoundDevice::~SoundDevice()
{
    close();
}

SoundDevice::Opened SoundDevice::openDefault(std::uint32_t freq)
{
    Opened opened;
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

void SoundDevice::discard(Opened &opened)
{
    closeOpened(opened);
}

bool SoundDevice::closeOpened(Opened &opened)
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

void SoundDevice::openAhead(std::uint32_t freq)
{
    if (m_open.device || m_ahead.valid())
        return;
    // Opening asks the sound system (a server, or ALSA probing its cards), which
    // can take tens of milliseconds; nothing but this device is touched there.
    try {
        m_ahead = std::async(std::launch::async, [freq] { return openDefault(freq); });
    } catch (const std::system_error &) {
        // No thread to be had: open() opens the device itself, as without this.
    }
}

bool SoundDevice::open(std::uint32_t freq)
{
    Opened opened;
    if (m_ahead.valid()) {
        opened = m_ahead.get();
        if (opened.freq != freq) {
            closeOpened(opened);
            opened = openDefault(freq);
        }
    } else {
        opened = openDefault(freq);
    }
    if (!opened.device) {
        qCInfo(lcSound, "no output device could be opened");
        return false;
    }
    if (!opened.context || alcMakeContextCurrent(opened.context) == ALC_FALSE) {
        qCWarning(lcSound, "no OpenAL context on the output device");
        closeOpened(opened);
        return false;
    }
    m_open = opened;
    m_stopped = false;
    m_idlePaused = false;
    return true;
}

bool SoundDevice::close()
{
    if (m_ahead.valid()) {
        Opened unclaimed = m_ahead.get();
        closeOpened(unclaimed);
    }
    m_stopped = false;
    m_idlePaused = false;
    return closeOpened(m_open);
}

void SoundDevice::replace(Opened opened)
{
    bindToThisThread(nullptr);
    closeOpened(m_open);
    m_open = opened;
    // The new mixer starts running; the pause that held on the old one holds on.
    if ((m_stopped || m_idlePaused) && !pauseMixer()) {
        m_stopped = false;
        m_idlePaused = false;
    }
}

bool SoundDevice::makeCurrent()
{
    if (!m_open.context)
        return false;
    if (alcGetCurrentContext() != m_open.context
        && alcMakeContextCurrent(m_open.context) == ALC_FALSE) {
        qCWarning(lcSound, "cannot make the sound context current");
        return false;
    }
    return true;
}

bool SoundDevice::bindToThisThread(ALCcontext *context)
{
    if (const auto setThreadContext = threadContextFunction())
        return setThreadContext(context) != ALC_FALSE;
    return context == nullptr || makeCurrent();
}

bool SoundDevice::isConnected() const
{
    if (!m_open.device || !alcIsExtensionPresent(m_open.device, "ALC_EXT_disconnect"))
        return m_open.device != nullptr;
    ALCint connected = ALC_TRUE;
    alcGetIntegerv(m_open.device, ALC_CONNECTED, 1, &connected);
    return connected != ALC_FALSE;
}

bool SoundDevice::pauseMixer()
{
    const auto pause = deviceFunction<LPALCDEVICEPAUSESOFT>(m_open.device, "alcDevicePauseSOFT");
    if (!pause)
        return false;
    pause(m_open.device);
    return true;
}

bool SoundDevice::pauseForIdle()
{
    if (m_stopped)
        return false;
    if (!m_idlePaused)
        m_idlePaused = pauseMixer();
    return m_idlePaused;
}

void SoundDevice::resumeFromIdle()
{
    if (!m_idlePaused)
        return;
    if (const auto resume
        = deviceFunction<LPALCDEVICERESUMESOFT>(m_open.device, "alcDeviceResumeSOFT"))
        resume(m_open.device);
    m_idlePaused = false;
}

void SoundDevice::stop()
{
    if (m_idlePaused) {
        m_idlePaused = false;
        m_stopped = true;
    } else if (pauseMixer()) {
        m_stopped = true;
    }
}

void SoundDevice::start(bool somethingPlays)
{
    if (!m_stopped)
        return;
    m_stopped = false;
    m_idlePaused = true;
    if (somethingPlays)
        resumeFromIdle();
}

} // namespace dorvel::sound
