// Reply location, measurement texts, and what each reply does to a download.

#include "replies/measure_format.h"
#include "replies/paging.h"
#include "replies/reply_frame.h"

#include "tests/support/data.h"

#include <QTest>
#include <cmath>

using namespace tesvaron;
using tesvaron::test::fetched;
using tesvaron::test::hex;

Q_DECLARE_METATYPE(tesvaron::ReplyCheck)

namespace {

float below(float bound)
{
    return std::nextafter(bound, 0.0f);
}

} // namespace

class TestRepliesCore : public QObject
{
    Q_OBJECT
private slots:
    void locate_data()
    {
        QTest::addColumn<QByteArray>("rx");
        QTest::addColumn<int>("count");
        QTest::addColumn<ReplyCheck>("result");
        QTest::addColumn<QByteArray>("prefix"); // what lands in the frame; the rest stays EE
        const QStringList results{"none", "bad", "ok"}; // in ReplyCheck's order
        for (const QStringList& r : test::tableRows("locate"))
            QTest::newRow(qPrintable(r[0]))
                << hex(qPrintable(r[1])) << r[2].toInt() << ReplyCheck(results.indexOf(r[3]))
                << hex(qPrintable(r[4]));
    }
    void locate()
    {
        QFETCH(QByteArray, prefix);
        ReplyFrameBytes frame;
        frame.fill(0xEE);
        QTEST(locateReply(fetched<QByteArray>("rx"), fetched<int>("count"), frame), "result");
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.data()), ReplyFrameSize).toHex(' '),
                 (prefix + QByteArray(ReplyFrameSize - prefix.size(), '\xEE')).toHex(' '));
    }

    void texts_data()
    {
        QTest::addColumn<bool>("history");
        QTest::addColumn<int>("volt");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");
        for (const QStringList& r : test::tableRows("texts"))
            QTest::addRow("%s %s", qPrintable(r[0]), qPrintable(r[1]))
                << (r[0] == "history") << r[1].toInt() << r[2].toInt() << r[3].toInt() << r[4];
    }
    void texts()
    {
        const MeasureTexts t = (fetched<bool>("history") ? historyTexts : realtimeTexts)(
            std::uint16_t(fetched<int>("volt")), std::uint16_t(fetched<int>("current")),
            std::uint8_t(fetched<int>("code")));
        QCOMPARE(t.ground + ' ' + t.line + ' ' + t.current, fetched<QString>("expected"));
    }

    // Rounding by the digits people see, and the class bounds with the float just below each.
    void numberBoundaries()
    {
        const auto f = formatFixed;
        QCOMPARE(
            (QStringList{f(12.5f, 0), f(2.5f, 0), f(0.45f, 1), f(9.95f, 1), f(1.005f, 2),
                         f(0.0049f, 2), f(-0.04f, 1), f(-1.25f, 1), voltageNumber(below(10.0f))}),
            (QStringList{"13", "3", "0.5", "10.0", "1.01", "0.00", "0.0", "-1.3", "10.0"}));
        QList<float> classes{lineVoltageClass(0.0f)};
        for (const float bound : {3.5f, 8.0f, 27.0f, 55.0f, 98.0f, 185.0f})
            classes << lineVoltageClass(below(bound)) << lineVoltageClass(bound);
        QCOMPARE(classes,
                 (QList<float>{0, 0.3f, 6.6f, 6.6f, 10, 10, 35, 35, 66, 66, 110, 110, 220}));
        for (const auto& [length, count] : {std::pair{6, 0}, {9, 1}, {10, 2}, {100, 19}})
            QCOMPARE(historyRecordCount(std::uint8_t(length)), count);
    }

    // Each row: a reply in a download state, and what it must do.
    void replySteps_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("state"); // running, total pending, timer armed, T, blocks, bar
        QTest::addColumn<QString>("step");  // code stop act total blocks rows next bar fin end
        for (const QStringList& r : test::tableRows("reply-steps")) {
            QByteArray reply = hex(qPrintable(r[1]));
            if (reply.size() > 2 && quint8(reply[1]) + 2 > reply.size()) // pad a block's records
                reply += QByteArray(quint8(reply[1]) + 1 - reply.size(), '\x11');
            if (r[0] != "bad checksum" && r[0] != "no frame") {
                char sum = 0;
                for (int k = 1; k < reply.size(); ++k)
                    sum ^= reply[k];
                reply += sum;
            }
            QTest::newRow(qPrintable(r[0])) << reply << r[2] << r[3];
        }
    }
    void replySteps()
    {
        QFETCH(QByteArray, reply);
        const QStringList s = fetched<QString>("state").split(' ');
        const DownloadState state{s[0] == "1",  s[1] == "1",  s[2] == "1",
                                  s[3].toInt(), s[4].toInt(), s[5].toInt()};
        ReplyFrameBytes frame{};
        const ReplyStep r = decideReply(locateReply(reply, int(reply.size()), frame), frame, state);
        const auto n = [](auto v) { return QString::number(int(v)); };
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6+%7 %8 %9 %10 %11")
                     .arg(r.code ? n(*r.code) : "-", n(r.stopTimeout), n(r.act), n(r.recTotal),
                          n(r.recBlock), n(r.rowOffset), n(r.rows),
                          r.next ? n(r.next->start) + ',' + n(r.next->count) : "-", n(r.progress),
                          n(r.finished), n(r.endDownload)),
                 fetched<QString>("step"));
    }
};

QTEST_APPLESS_MAIN(TestRepliesCore)
#include "test_replies_core.moc"
