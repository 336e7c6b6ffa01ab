// Reducing readings to pixel columns: extremes kept in order, breaks kept as breaks.

#include "tests/support/data.h"
#include "trend/trend_reduce.h"

#include <QTest>

using namespace tesvaron;

namespace {

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
        for (const QStringList& r : test::tableRows("runs")) {
            QList<TrendSample> samples;
            for (const QString& s : r[1].split(' ')) // ms:kV, then over or gap
                samples << at(s.section(':', 0, 0).toLongLong(), s.section(':', 1, 1).toFloat(), 0,
                              s.endsWith("over"), s.endsWith("gap"));
            TrendRuns runs;
            for (const QString& run : r[2].split(" | ")) {
                runs.append(QList<QPointF>{});
                for (const QString& p : run.split(' '))
                    runs.last() << QPointF(p.section(',', 0, 0).toDouble(),
                                           p.section(',', 1).toDouble());
            }
            QTest::newRow(qPrintable(r[0]))
                << samples << runs
                << (r.value(3).isEmpty() ? QList<qreal>{} : QList<qreal>{r[3].toDouble()});
        }
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
