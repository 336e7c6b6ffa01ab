// The timer seam on the virtual clock: tick times, enabling a running timer, handlers that
// stop or restart their own timer, and several timers falling due together.

#include "platform/periodic_timer.h"

#include <QTest>
#include <QTimer>

using namespace tesvaron;
using namespace std::chrono_literals;

class PeriodicTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void ticks_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<QList<int>>("switches"); // at these times: enable (n) or disable (-n)
        QTest::addColumn<int>("stopAt");          // tick after which the handler stops it, or 0
        QTest::addColumn<int>("until");
        QTest::addColumn<QList<int>>("ticks");
        QTest::newRow("every period from the start")
            << 600 << QList{100} << 0 << 2100 << QList{700, 1300, 1900};
        QTest::newRow("enabling a running timer does not restart it")
            << 2500 << QList{0, 1500} << 0 << 2500 << QList{2500};
        QTest::newRow("disabled twice, then enabled afresh")
            << 1000 << QList{0, -500, -500, 2500} << 0 << 3500 << QList{3500};
        QTest::newRow("handler stopping its own timer")
            << 2500 << QList{0} << 1 << 10000 << QList{2500};
        // Stopped and started again inside its handler, it counts from that tick.
        QTest::newRow("handler restarting its own timer")
            << 30 << QList{0} << 3 << 1000 << QList{30, 60, 90};
    }

    void ticks()
    {
        QFETCH(int, period);
        QFETCH(QList<int>, switches);
        QFETCH(int, stopAt);
        QFETCH(int, until);
        QFETCH(QList<int>, ticks);
        VirtualClock clock;
        PeriodicTimer t(std::chrono::milliseconds(period), &clock, nullptr);
        QList<int> at;
        connect(&t, &PeriodicTimer::Timer, [&] {
            at << int(clock.now().count());
            if (stopAt == 0) return;
            t.setEnabled(false);
            if (at.size() < stopAt) t.setEnabled(true);
        });
        for (int s : switches) {
            clock.advance(std::chrono::milliseconds(std::abs(s)) - clock.now());
            t.setEnabled(s >= 0);
        }
        clock.advance(std::chrono::milliseconds(until) - clock.now());
        QCOMPARE(at, ticks);
        QCOMPARE(t.Enabled(), stopAt == 0);
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
