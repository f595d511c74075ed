#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace dorvel::dice3d {

/**
 * The periodic tick of the roll animation, delivered on the user-interface
 * thread. It is built on a precise QTimer rather than a worker thread: a QTimer
 * fires from the event loop, so ticks come one at a time between other events,
 * and when a handler overruns the next deadline Qt schedules the following tick
 * one interval after "now" instead of firing the missed ones in a burst.
 *
 * The first tick comes about one Interval after Enabled is switched on; none
 * comes while the timer is off, also when a handler switches it off. An
 * Interval of 0 never runs. A tick that would arrive while OnTimer is still
 * running (through a nested event loop in the handler) is dropped.
 */
class TAsyncTimer : public QObject
{
    Q_OBJECT
public:
    /// Thread priority names kept for the property; see ThreadPriority().
    enum class TThreadPriority {
        tpIdle,
        tpLowest,
        tpLower,
        tpNormal,
        tpHigher,
        tpHighest,
        tpTimeCritical
    };

    explicit TAsyncTimer(QObject *parent = nullptr);
    ~TAsyncTimer() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    /// Period in milliseconds; 1000 by default.
    std::uint16_t Interval() const { return m_interval; }
    void setInterval(std::uint16_t milliseconds);

    /// Kept as a property only: the ticks run on the user-interface thread,
    /// whose priority this timer does not change.
    TThreadPriority ThreadPriority() const { return m_priority; }
    void setThreadPriority(TThreadPriority priority) { m_priority = priority; }

    /// Called once per tick with the timer as Sender.
    std::function<void(TAsyncTimer *Sender)> OnTimer;

private:
    void updateTimer();
    void tick();

    QTimer m_timer;
    bool m_enabled = false;
    bool m_inHandler = false;
    std::uint16_t m_interval = 1000;
    TThreadPriority m_priority = TThreadPriority::tpTimeCritical;
};

} // namespace dorvel::dice3d
