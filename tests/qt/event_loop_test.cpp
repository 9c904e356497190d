// The Qt event loop on the real clock: window events and window timers run
// while the core waits, a plain sleep runs nothing. Waits here are tens of
// milliseconds; the bounds are loose so a busy machine does not fail them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "core/support/event_loop_scenarios.h"
#include "platform/timer_scheduler.h"
#include "ui/qt/qt_event_loop.h"

using namespace qv;
using namespace qv::qt;

class EventLoopTest : public QObject {
    Q_OBJECT

private slots:
    void waitEndsWhenTheNextTimerIsDue() {
        QtEventLoop loop;
        const qv::testing::DueTick tick = qv::testing::waitForA30MsTimer(loop);
        QCOMPARE(tick.ticks, 1);
        QVERIFY2(tick.elapsedMs >= 25, qPrintable(QString::number(tick.elapsedMs)));
        QVERIFY2(tick.elapsedMs < 3000, qPrintable(QString::number(tick.elapsedMs)));
    }

    void timerTicksNestInsideAWaitingHandler() {
        QtEventLoop loop;
        const int blinksDuringRun = qv::testing::blinksDuringANestedWait(loop);
        QVERIFY2(blinksDuringRun >= 2, qPrintable(QString::number(blinksDuringRun)));
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
