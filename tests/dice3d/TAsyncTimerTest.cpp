// Pins down the animation timer on the real clock: ticks arrive on the
// user-interface thread with the timer as Sender, none after it is switched off
// (also from inside its own handler), none with Interval 0, and an overrunning
// handler is not followed by a burst of catch-up ticks.
#include "dice3d/TAsyncTimer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace dorvel::dice3d {
namespace {

    // Runs the event loop for about the given time.
    void runEventLoopFor(int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds)
            QCoreApplication::processEvents(
                QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }

    TEST(TAsyncTimer, DefaultsAreOffWithOneSecondAtTimeCriticalPriority)
    {
        TAsyncTimer timer;
        EXPECT_FALSE(timer.Enabled());
        EXPECT_EQ(timer.Interval(), 1000);
        EXPECT_EQ(timer.ThreadPriority(), TAsyncTimer::TThreadPriority::tpTimeCritical);
    }

    TEST(TAsyncTimer, TicksOnTheUiThreadUntilSwitchedOff)
    {
        TAsyncTimer timer;
        timer.setInterval(10);
        int ticks = 0;
        bool rightThreadAndSender = true;
        timer.OnTimer = [&](TAsyncTimer *sender) {
            rightThreadAndSender = rightThreadAndSender && sender == &timer
                && QThread::currentThread() == QCoreApplication::instance()->thread();
            ++ticks;
        };
        timer.setEnabled(true);
        while (ticks < 3)
            QCoreApplication::processEvents(
                QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        EXPECT_TRUE(rightThreadAndSender);

        timer.setEnabled(false);
        const int atOff = ticks;
        runEventLoopFor(60);
        EXPECT_EQ(ticks, atOff);
    }

    TEST(TAsyncTimer, SwitchedOffInsideItsHandlerNoFurtherTick)
    {
        TAsyncTimer timer;
        timer.setInterval(10);
        int ticks = 0;
        timer.OnTimer = [&](TAsyncTimer *sender) {
            ++ticks;
            sender->setEnabled(false);
        };
        timer.setEnabled(true);
        while (ticks < 1)
            QCoreApplication::processEvents(
                QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        runEventLoopFor(60);
        EXPECT_EQ(ticks, 1);
        EXPECT_FALSE(timer.Enabled());
    }

    TEST(TAsyncTimer, IntervalZeroNeverRuns)
    {
        TAsyncTimer timer;
        timer.setInterval(0);
        int ticks = 0;
        timer.OnTimer = [&](TAsyncTimer *) { ++ticks; };
        timer.setEnabled(true);
        runEventLoopFor(40);
        EXPECT_EQ(ticks, 0);
    }

    TEST(TAsyncTimer, ALongHandlerIsNotFollowedByABurst)
    {
        TAsyncTimer timer;
        timer.setInterval(10);
        std::vector<qint64> tickTimes;
        QElapsedTimer clock;
        clock.start();
        timer.OnTimer = [&](TAsyncTimer *sender) {
            tickTimes.push_back(clock.elapsed());
            if (tickTimes.size() == 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(50)); // five periods overrun
            if (tickTimes.size() == 6)
                sender->setEnabled(false);
        };
        timer.setEnabled(true);
        while (timer.Enabled())
            QCoreApplication::processEvents(
                QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        ASSERT_EQ(tickTimes.size(), 6u);
        // The long handler missed about five deadlines. Made-up ticks would arrive
        // back to back right after it; instead the three ticks after the first one
        // that follows it are spread over roughly three periods (load only stretches
        // them further).
        EXPECT_GE(tickTimes[2] - tickTimes[1], 50);
        EXPECT_GE(tickTimes[5] - tickTimes[2], 15);
    }

} // namespace
} // namespace dorvel::dice3d
