#pragma once

// Steps a program through its windows from the inside, on a timer: the walks
// of the end-to-end tests and the run driver of the robustness tests. Each tick
// looks at what is shown and either answers it or moves on; anything that opens
// a window modally is posted to the event loop instead of run in the tick, so
// that the window's own loop runs outside the tick and the ticks go on in it.

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace dorvel::test {

class Walker : public QObject
{
public:
    /// A step of the walk: true once it is done, false to be tried again on
    /// the next tick (its window is not there yet, or not ready).
    using Step = std::function<bool()>;

    explicit Walker(int intervalMs)
    {
        m_timer.setInterval(intervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }

    /// Runs before the checks on every tick; when it returns true it answered
    /// something (a message box, say) and the tick ends there.
    void everyTick(Step step) { m_everyTick = std::move(step); }
    /// Adds a check, run after the ones added before it.
    void check(const QString &name, Step step) { m_checks.emplace_back(name, std::move(step)); }
    /// The same for steps on a window: they wait until a widget of type T is
    /// shown, then run on it.
    template <typename T, typename Action> void everyTick(Action action)
    {
        everyTick(on<T>(std::move(action)));
    }
    template <typename T, typename Action> void check(const QString &name, Action action)
    {
        check(name, on<T>(std::move(action)));
    }

    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }

    /// Runs an action from the event loop, bound to the walker so that it is
    /// dropped if the walker goes first. Ticks wait until it has begun.
    void post(std::function<void()> action)
    {
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this, action = std::move(action)] {
                // Cleared first: the action may run the loop of a modal window
                // that the ticks are to answer.
                m_pending = false;
                action();
            },
            Qt::QueuedConnection);
    }
    /// The same for an action on a window, dropped too if the window goes first.
    template <typename T, typename Action> void post(T *window, Action action)
    {
        post([window = QPointer<T>(window), action = std::move(action)] {
            if (window)
                action(*window);
        });
    }

    /// Whether every check has been done.
    bool done() const { return m_next == m_checks.size(); }
    /// The check the walk waits at ("" once done).
    QString waitingAt() const { return done() ? QString() : m_checks[m_next].first; }

    void fail(const QString &what)
    {
        m_failed = true;
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(what));
    }
    static void note(const QString &what)
    {
        std::printf("%s\n", qPrintable(what));
        std::fflush(stdout);
    }
    bool failed() const { return m_failed; }

    /// Lets the screen catch up with what the program has drawn: a compositor
    /// or an X server shows a frame some time after the program has handed it
    /// over, and there is no event that says when.
    static void settle()
    {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QTest::qWait(25);
        }
    }

    /// The first visible widget of type T.
    template <typename T> static T *shown()
    {
        for (QWidget *widget : QApplication::allWidgets()) {
            if (auto *found = qobject_cast<T *>(widget); found != nullptr && widget->isVisible())
                return found;
        }
        return nullptr;
    }

private:
    template <typename T, typename Action> static Step on(Action action)
    {
        return [action = std::move(action)] {
            T *window = shown<T>();
            return window != nullptr && action(*window);
        };
    }

    void tick()
    {
        // A step that settles runs the event loop, and with it this timer.
        if (m_busy || m_pending)
            return;
        m_busy = true;
        if (!(m_everyTick && m_everyTick()) && !done() && m_checks[m_next].second())
            ++m_next;
        m_busy = false;
    }

    QTimer m_timer;
    Step m_everyTick;
    std::vector<std::pair<QString, Step>> m_checks;
    std::size_t m_next = 0;
    bool m_failed = false;
    bool m_busy = false;
    bool m_pending = false;
};

} // namespace dorvel::test
