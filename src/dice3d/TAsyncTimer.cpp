#include "TAsyncTimer.h"

namespace dorvel::dice3d {

TAsyncTimer::TAsyncTimer(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &TAsyncTimer::tick);
}

TAsyncTimer::~TAsyncTimer()
{
    m_timer.stop();
}

void TAsyncTimer::setEnabled(bool enabled)
{
    // Switching on a running timer leaves its schedule alone.
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    updateTimer();
}

void TAsyncTimer::setInterval(std::uint16_t milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    updateTimer();
}

void TAsyncTimer::updateTimer()
{
    if (m_enabled && m_interval > 0) {
        // start() restarts a running timer, so the first tick after switching on
        // (or after a new interval) comes one interval later.
        m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}

void TAsyncTimer::tick()
{
    if (!m_enabled || !OnTimer || m_inHandler)
        return;
    struct Guard
    {
        bool &flag;
        ~Guard() { flag = false; }
    } guard { m_inHandler };
    m_inHandler = true;
    OnTimer(this);
}

} // namespace dorvel::dice3d
