// The timer seam on the virtual clock: tick times, enabling a running timer, handlers that
// restart their own timer, and several timers falling due together.

#include "platform/periodic_timer.h"

#include <QTest>
#include <QTimer>

using namespace tesvaron;
using namespace std::chrono_literals;

class PeriodicTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void ticksEveryPeriodFromStart()
    {
        VirtualClock clock;
        PeriodicTimer t(600ms, &clock, nullptr);
        std::vector<long long> at;
        connect(&t, &PeriodicTimer::Timer, [&] { at.push_back(clock.now().count()); });
        clock.advance(100ms);
        t.setEnabled(true);
        clock.advance(2000ms);
        QCOMPARE(at, (std::vector<long long>{700, 1300, 1900}));
    }

    void enablingARunningTimerDoesNotRestartIt()
    {
        VirtualClock clock;
        PeriodicTimer t(2500ms, &clock, nullptr);
        int ticks = 0;
        connect(&t, &PeriodicTimer::Timer, [&] { ++ticks; });
        t.setEnabled(true);
        clock.advance(1500ms);
        t.setEnabled(true);
        clock.advance(999ms);
        QCOMPARE(ticks, 0);
        clock.advance(1ms);
        QCOMPARE(ticks, 1);
    }

    void disablingStopsAndReenablingRestarts()
    {
        VirtualClock clock;
        PeriodicTimer t(1000ms, &clock, nullptr);
        std::vector<long long> at;
        connect(&t, &PeriodicTimer::Timer, [&] { at.push_back(clock.now().count()); });
        t.setEnabled(true);
        clock.advance(500ms);
        t.setEnabled(false);
        t.setEnabled(false);
        clock.advance(2000ms);
        QVERIFY(at.empty());
        t.setEnabled(true); // at 2500
        clock.advance(1000ms);
        QCOMPARE(at, (std::vector<long long>{3500}));
    }

    void handlerStoppingItsOwnTimer()
    {
        VirtualClock clock;
        PeriodicTimer t(2500ms, &clock, nullptr);
        int ticks = 0;
        connect(&t, &PeriodicTimer::Timer, [&] {
            ++ticks;
            t.setEnabled(false);
        });
        t.setEnabled(true);
        clock.advance(10000ms);
        QCOMPARE(ticks, 1);
        QVERIFY(!t.Enabled());
    }

    void handlerRestartingItsOwnTimer()
    {
        VirtualClock clock;
        PeriodicTimer t(30ms, &clock, nullptr);
        std::vector<long long> at;
        connect(&t, &PeriodicTimer::Timer, [&] {
            at.push_back(clock.now().count());
            t.setEnabled(false);
            if (at.size() < 3) t.setEnabled(true);
        });
        t.setEnabled(true);
        clock.advance(1000ms);
        QCOMPARE(at, (std::vector<long long>{30, 60, 90}));
    }

    void simultaneousTimersRunInStartOrder()
    {
        VirtualClock clock;
        PeriodicTimer a(300ms, &clock, nullptr), b(100ms, &clock, nullptr);
        QStringList order;
        connect(&a, &PeriodicTimer::Timer,
                [&] { order << QStringLiteral("a%1").arg(clock.now().count()); });
        connect(&b, &PeriodicTimer::Timer,
                [&] { order << QStringLiteral("b%1").arg(clock.now().count()); });
        a.setEnabled(true);
        b.setEnabled(true);
        clock.advance(300ms);
        QCOMPARE(order, (QStringList{"b100", "b200", "a300", "b300"}));
    }

    void scheduledWorkAndCancel()
    {
        VirtualClock clock;
        QStringList log;
        clock.schedule(50ms, [&] {
            log << "first";
            // Work scheduled while advancing still runs if it falls due in the same span.
            clock.schedule(clock.now() + 10ms, [&] { log << "nested"; });
        });
        const int dropped = clock.schedule(40ms, [&] { log << "cancelled"; });
        clock.cancel(dropped);
        clock.advance(100ms);
        QCOMPARE(log, (QStringList{"first", "nested"}));
        QCOMPARE(clock.now(), 100ms);
    }

    void realTimerIsPrecise()
    {
        PeriodicTimer t(30ms, nullptr, nullptr);
        const auto* qt = t.findChild<QTimer*>();
        QVERIFY(qt);
        QCOMPARE(qt->timerType(), Qt::PreciseTimer);
        t.setEnabled(true);
        QVERIFY(qt->isActive());
        t.setEnabled(false);
        QVERIFY(!qt->isActive());
    }
};

QTEST_GUILESS_MAIN(PeriodicTimerTest)
#include "test_periodic_timer.moc"
