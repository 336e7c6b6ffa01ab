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
        const ReplyCheck ok = ReplyCheck::Ok, bad = ReplyCheck::BadChecksum,
                         none = ReplyCheck::NoFrame;
        const QByteArray probe = hex("B1 04 05 55 AA FE"), rt = hex("B1 06 06 01 47 7B 01 3C");
        const QByteArray longest = hex("B1 64 01") + QByteArray(98, '\0') + hex("65");
        const struct
        {
            const char* name;
            QByteArray rx;
            int count;
            ReplyCheck result;
            QByteArray prefix;
        } rows[] = {
            {"realtime", rt, 8, ok, rt.mid(1)},
            {"length 1 behind a stray byte", hex("00 B1 01 01"), 4, ok, hex("01 01")},
            {"second frame lands behind the first", probe + rt, 14, ok, probe.mid(1) + rt},
            {"stray header taken", hex("B1 03") + probe, 8, bad, hex("03") + probe},
            {"bad payload", hex("B1 06 06 01 48 7B 01 3C"), 8, bad, hex("06 06 01 48 7B 01 3C")},
            {"fewer than 4", hex("B1 01 01"), 3, none, {}},
            {"no header", hex("04 05 55 AA FE 00"), 6, none, {}},
            {"header last", hex("00 01 02 B1"), 4, none, {}},
            {"zero length", hex("B1 00 00 00"), 4, none, hex("00 00 00")},
            {"checksum not counted", rt, 7, none, rt.mid(1, 6)},
            {"count beyond buffer", probe, 200, ok, probe.mid(1)},
            {"length 100", longest, 102, ok, longest.mid(1)},
            {"length 101", hex("B1 65 01") + QByteArray(99, 0) + hex("64"), 103, none,
             hex("65 01") + QByteArray(99, 0)},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.rx << r.count << r.result << r.prefix;
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
        const struct
        {
            bool history;
            int volt, current, code;
            const char* expected;
        } rows[] = {
            {false, 0, 7, 0, "0.0kV 0.0kV 7A"},
            {true, 65535, 65535, 2, "6554kV 220kV 655.35A"},
            {false, 11, 123, 1, "1.1kV 0.3kV 12.3A"},
            {false, 12, 123, 2, "1.2kV 6.6kV 1.23A"},
            {false, 27, 5, 7, "2.7kV 10kV 5A"},
            {false, 91, 0, 0, "9.1kV 35kV 0A"},
            {false, 99, 0, 0, "9.9kV 35kV 0A"},
            {false, 100, 0, 0, "10kV 35kV 0A"},
            {false, 184, 0, 0, "18kV 66kV 0A"},
            {false, 327, 0, 0, "33kV 66kV 0A"},
            {false, 328, 0, 0, "33kV 110kV 0A"},
            {false, 618, 0, 0, "62kV 220kV 0A"},
            {false, 995, 0, 0, "100kV 220kV 0A"},
            {false, 5999, 255, 1, "600kV 220kV 25.5A"},
            {false, 6000, 1, 1, "NO-- NO-- NO--"},
            {true, 11, 5, 2, "1.1kV 0.3kV 0.05A"},
            {true, 327, 250, 1, "33kV 110kV 25.0A"},
            {true, 617, 0, 0, "62kV 220kV 0A"},
            {true, 6000, 0, 0, "600kV 220kV 0A"},
            {true, 100, 1005, 2, "10kV 35kV 10.05A"},
        };
        for (const auto& r : rows)
            QTest::addRow("%s %d", r.history ? "history" : "realtime", r.volt)
                << r.history << r.volt << r.current << r.code << QString::fromLatin1(r.expected);
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
        QCOMPARE((QStringList{f(12.5f, 0), f(2.5f, 0), f(0.45f, 1), f(9.95f, 1), f(1.005f, 2),
                              f(0.0049f, 2), f(-0.04f, 1), voltageNumber(below(10.0f))}),
                 (QStringList{"13", "3", "0.5", "10.0", "1.01", "0.00", "0.0", "10.0"}));
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
        const struct
        {
            const char* name;
            const char* reply;
            const char* state;
            const char* step;
        } rows[] = {
            {"total 25", "B1 03 02 19", "1 0 1 0 0 0", "2 1 5 25 0 0+0 1,10 0 0 0"},
            {"total 10", "B1 03 02 0A", "1 0 1 0 0 0", "2 1 5 10 0 0+0 1,10 0 0 0"},
            {"total 3", "B1 03 02 03", "1 0 1 0 0 0", "2 1 5 3 0 0+0 1,3 0 0 0"},
            {"total 150 pages 99", "B1 03 02 96", "1 0 1 0 0 0", "2 1 5 99 0 0+0 1,10 0 0 0"},
            {"total 0", "B1 03 02 00", "1 0 1 7 0 0", "2 1 4 0 0 0+0 - 0 0 0"},
            {"total restarts paging", "B1 03 02 0B", "1 0 1 25 2 20", "2 1 5 11 0 0+0 1,10 0 0 0"},
            {"block 1 of 25", "B1 0C 01", "1 0 1 25 0 0", "2 1 6 25 1 0+2 10,10 10 0 0"},
            {"block 2 of 11", "B1 07 01", "1 0 1 11 1 0", "2 1 6 11 0 10+1 - 11 1 0"},
            {"block 3 of 25", "B1 1B 01", "1 0 1 25 2 20", "2 1 6 25 0 20+5 - 25 1 0"},
            {"block 9 of 99", "B1 34 01", "1 0 1 99 8 80", "2 1 6 99 9 80+10 90,9 90 0 0"},
            {"block 10 of 99 capped", "B1 34 01", "1 0 1 99 9 90", "2 1 6 99 0 90+9 - 99 1 0"},
            {"empty block", "B1 02 01", "1 0 1 25 0 0", "2 1 6 25 1 0+0 10,10 10 0 0"},
            {"refusal ends a download", "B1 02 F1", "1 0 1 25 1 10", "2 1 0 25 1 0+0 - 10 0 1"},
            {"probe instead of a block", "B1 04 05 55 AA", "1 0 1 25 1 10",
             "2 1 1 25 1 0+0 - 10 0 1"},
            {"refusal while the total waits", "B1 02 F1", "1 1 1 0 0 0", "2 1 0 0 0 0+0 - 0 0 0"},
            {"refusal while polling", "B1 02 F1", "0 0 1 0 0 0", "2 1 0 0 0 0+0 - 0 0 0"},
            {"probe found", "B1 04 05 55 AA", "0 0 1 0 0 0", "2 1 1 0 0 0+0 - 0 0 0"},
            {"probe other payload", "B1 04 05 55 AB", "0 0 1 0 0 0", "2 1 2 0 0 0+0 - 0 0 0"},
            {"realtime", "B1 06 06 01 02 03 04", "0 0 1 0 0 0", "2 1 3 0 0 0+0 - 0 0 0"},
            {"unknown kind keeps the timer", "B1 02 07", "1 0 1 25 1 10",
             "2 0 0 25 1 0+0 - 10 0 0"},
            {"bad checksum", "B1 02 05 00", "1 0 1 25 1 10", "3 0 0 25 1 0+0 - 10 0 0"},
            {"no frame", "00 00 00 00", "1 0 1 25 1 10", "- 0 0 25 1 0+0 - 10 0 0"},
        };
        for (const auto& r : rows) {
            QByteArray reply = hex(r.reply);
            if (reply.size() > 2 && quint8(reply[1]) + 2 > reply.size()) // pad a block's records
                reply += QByteArray(quint8(reply[1]) + 1 - reply.size(), '\x11');
            if (QByteArray(r.name) != "bad checksum" && QByteArray(r.name) != "no frame") {
                char sum = 0;
                for (int k = 1; k < reply.size(); ++k)
                    sum ^= reply[k];
                reply += sum;
            }
            QTest::newRow(r.name) << reply << QString::fromLatin1(r.state)
                                  << QString::fromLatin1(r.step);
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
