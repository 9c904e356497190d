// The Qt event loop on the real clock: window events and window timers run
// while the core waits, a plain sleep runs nothing. Waits here are tens of
// milliseconds; the bounds are loose so a busy machine does not fail them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "platform/timer_scheduler.h"
#include "ui/qt/qt_event_loop.h"

using namespace qv;
using namespace qv::qt;

class EventLoopTest : public QObject {
    Q_OBJECT

private slots:
    void waitEndsWhenTheNextTimerIsDue() {
        QtEventLoop loop;
        TimerScheduler timers(loop);
        loop.attachTimers(&timers);
        WindowTimer& timer = timers.add("Timer4", 30);
        int ticks = 0;
        timer.onTick([&] { ++ticks; });
        timers.setEnabled(timer, true);

        QElapsedTimer clock;
        clock.start();
        while (ticks == 0 && clock.elapsed() < 5000) {
            loop.processEvents(10000);
        }
        QCOMPARE(ticks, 1);
        QVERIFY2(clock.elapsed() >= 25, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        loop.attachTimers(nullptr);
    }

    void timerTicksNestInsideAWaitingHandler() {
        QtEventLoop loop;
        TimerScheduler timers(loop);
        loop.attachTimers(&timers);
        WindowTimer& run = timers.add("Timer1", 20);
        WindowTimer& blink = timers.add("Timer5", 10);
        int blinks = 0;
        int blinksDuringRun = -1;
        blink.onTick([&] { ++blinks; });
        run.onTick([&] {
            timers.setEnabled(run, false);
            const int before = blinks;
            const std::uint32_t start = loop.tickCount();
            while (loop.tickCount() - start < 80) {
                loop.processEvents(1000);
            }
            blinksDuringRun = blinks - before;
        });
        timers.setEnabled(run, true);
        timers.setEnabled(blink, true);
        QElapsedTimer clock;
        clock.start();
        while (blinksDuringRun < 0 && clock.elapsed() < 5000) {
            loop.processEvents(1000);
        }
        QVERIFY2(blinksDuringRun >= 2, qPrintable(QString::number(blinksDuringRun)));
        loop.attachTimers(nullptr);
    }

    void windowEventsRunAndEndTheWaitEarly() {
        QtEventLoop loop;
        bool delivered = false;
        QTimer::singleShot(20, [&] { delivered = true; });
        QElapsedTimer clock;
        clock.start();
        while (!delivered && clock.elapsed() < 5000) {
            loop.processEvents(10000);
        }
        QVERIFY(delivered);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

    void nothingPendingMeansWaitingAtMostTheGivenTime() {
        QtEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        loop.processEvents(40);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        clock.restart();
        loop.processEvents(0);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

    void sleepRunsNothing() {
        QtEventLoop loop;
        TimerScheduler timers(loop);
        loop.attachTimers(&timers);
        WindowTimer& timer = timers.add("Timer2", 1);
        int ticks = 0;
        timer.onTick([&] { ++ticks; });
        timers.setEnabled(timer, true);
        bool delivered = false;
        QTimer::singleShot(0, [&] { delivered = true; });

        const std::uint32_t before = loop.tickCount();
        loop.sleep(30);
        QVERIFY(loop.tickCount() - before >= 30);
        QCOMPARE(ticks, 0);
        QVERIFY(!delivered);
        loop.processEvents(0);
        QCOMPARE(ticks, 1);
        QVERIFY(delivered);
        loop.attachTimers(nullptr);
    }

    void viewIsRenderedAroundEachRound() {
        QtEventLoop loop;
        int renders = 0;
        bool renderedBeforeEvents = false;
        loop.setRenderer([&] { ++renders; });
        QTimer::singleShot(0, [&] { renderedBeforeEvents = renders > 0; });
        loop.processEvents(0);
        QVERIFY(renderedBeforeEvents);
        QCOMPARE(renders, 2);
    }
};

QTEST_MAIN(EventLoopTest)
#include "event_loop_test.moc"
