// Reducing readings to pixel columns: extremes kept in order, breaks kept as breaks.

#include "trend/trend_reduce.h"

#include <QTest>

using namespace tesvaron;

namespace {

// Shorthand for a run: (ms, value) pairs.
using Run = QList<QPointF>;

// 10 columns over [0, 1000): column c holds ms 100c .. 100c + 99.
TrendSample at(qint64 ms, float kv, float a = 0, bool over = false, bool gap = false)
{
    return TrendSample{ms, kv, a, over, gap};
}

} // namespace

class TestTrendReduce : public QObject
{
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QList<TrendSample>>("samples");
        QTest::addColumn<TrendRuns>("ground");
        QTest::addColumn<QList<qreal>>("marks");
        QTest::newRow("one column keeps min then max in time order")
            << QList<TrendSample>{at(0, 5), at(10, 2), at(20, 9), at(30, 4)}
            << TrendRuns{Run{{10, 2}, {20, 9}}} << QList<qreal>{};
        QTest::newRow("max before min stays in that order")
            << QList<TrendSample>{at(0, 5), at(10, 9), at(20, 1)}
            << TrendRuns{Run{{10, 9}, {20, 1}}} << QList<qreal>{};
        QTest::newRow("each column its own extremes; a flat one is a single point")
            << QList<TrendSample>{at(0, 1), at(50, 3), at(100, 7), at(150, 7), at(250, 4)}
            << TrendRuns{Run{{0, 1}, {50, 3}, {100, 7}, {250, 4}}} << QList<qreal>{};
        QTest::newRow("the instrument lost: two runs")
            << QList<TrendSample>{at(0, 1), at(50, 2), at(60, 3, 0, false, true), at(70, 4)}
            << TrendRuns{Run{{0, 1}, {50, 2}}, Run{{60, 3}, {70, 4}}} << QList<qreal>{};
        QTest::newRow("readings too far apart are not joined")
            << QList<TrendSample>{at(0, 1), at(400, 2), at(500, 3)}
            << TrendRuns{Run{{0, 1}}, Run{{400, 2}, {500, 3}}} << QList<qreal>{};
        QTest::newRow("over range: a mark per column, no value, the line broken")
            << QList<TrendSample>{at(0, 1), at(100, 650, 0, true), at(120, 700, 0, true),
                                  at(200, 2)}
            << TrendRuns{Run{{0, 1}}, Run{{200, 2}}} << QList<qreal>{100};
        QTest::newRow("only the window's readings")
            << QList<TrendSample>{at(-50, 8), at(990, 3), at(1000, 8)} << TrendRuns{Run{{990, 3}}}
            << QList<qreal>{};
    }
    void runs()
    {
        QFETCH(QList<TrendSample>, samples);
        QFETCH(TrendRuns, ground);
        const ReducedTrend t = reduceTrend(samples, 0, 1000, 10, 300);
        QCOMPARE(t.ground, ground);
        QTEST(t.overRange, "marks");
        QCOMPARE(t.current.size(), ground.size()); // the current breaks where the voltage does
    }

    // A day of readings every 1.5 s into 800 columns: at most two points a column, and the
    // day's single spike and dip both survive.
    void dayIntoColumns()
    {
        QList<TrendSample> day;
        for (qint64 i = 0; i < 57600; ++i)
            day.append(at(i * 1500, 10.0f + float(i % 7), float(i % 5)));
        day[12345].groundKv = 99.0f;
        day[40000].currentA = -3.0f;
        const ReducedTrend t = reduceTrend(day, 0, 57600 * 1500, 800);
        QCOMPARE(t.ground.size(), 1);
        QVERIFY(t.ground[0].size() <= 1600);
        QVERIFY(t.ground[0].contains(QPointF(12345 * 1500, 99)));
        QVERIFY(t.current[0].contains(QPointF(40000 * 1500, -3)));
        QCOMPARE(std::pair(t.maxGround, t.maxCurrent), std::pair(99.0f, 4.0f));
        QVERIFY(reduceTrend(day, 0, 1000, 0).ground.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTrendReduce)
#include "test_trend_reduce.moc"
