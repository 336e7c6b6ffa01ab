// The simulated instrument's protocol engine, driven in-process.

#include "sim/instrument.h"

#include <QSet>
#include <QTest>

#include <bit>

using namespace std::chrono_literals;
using namespace tesvaron::sim;

namespace {

QByteArray hx(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// Three records and three live values whose frames are written out by hand below.
SimConfig fixedConfig()
{
    SimConfig c;
    c.records = std::vector<Record>{{327, 250, 1}, {0, 5, 2}, {6500, 1234, 0}};
    c.live = std::vector<LiveValue>{{125, 123, 1}, {5999, 7, 2}, {0, 0, 0}};
    return c;
}

QByteArray joined(const std::vector<ReplyChunk>& chunks)
{
    QByteArray all;
    for (const auto& c : chunks)
        all += c.bytes;
    return all;
}

// "delay:hex|delay:hex" for comparing chunk lists.
QString describe(const std::vector<ReplyChunk>& chunks)
{
    QStringList parts;
    for (const auto& c : chunks)
        parts << QStringLiteral("%1:%2")
                     .arg(c.delay.count())
                     .arg(QString::fromLatin1(c.bytes.toHex(' ').toUpper()));
    return parts.join(u'|');
}

quint8 xorFromLength(const QByteArray& frame)
{
    quint8 x = 0;
    for (qsizetype i = 1; i < frame.size() - 1; ++i)
        x ^= static_cast<quint8>(frame[i]);
    return x;
}

QByteArray blockRequest(quint8 start, quint8 count)
{
    QByteArray r = hx("A1 04 01");
    r.append(char(start));
    r.append(char(count));
    r.append(char(0x04 ^ 0x01 ^ start ^ count));
    return r;
}

const QByteArray Probe = hx("A1 04 05 55 AA FE");
const QByteArray ProbeReply = hx("B1 04 05 55 AA FE");
const QByteArray Realtime = hx("A1 04 06 00 00 02");
const QByteArray RecordCount = hx("A1 04 02 00 00 06");

} // namespace

// Tests the instrument's answers, its history paging, its faults and its resynchronisation.
class TestInstrument : public QObject
{
    Q_OBJECT

private slots:
    void goldenReplies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("probe") << Probe << ProbeReply;
        QTest::newRow("realtime") << Realtime << hx("B1 06 06 00 7D 7B 01 07");
        QTest::newRow("record count") << RecordCount << hx("B1 03 02 03 02");
        QTest::newRow("block 1,10")
            << hx("A1 04 01 01 0A 0E")
            << hx("B1 11 01  01 47 00 FA 01  00 00 00 05 02  19 64 04 D2 00  01");
        QTest::newRow("block 2,1 is in the first ten")
            << hx("A1 04 01 02 01 06") << hx("B1 07 01 01 47 00 FA 01 BB");
        QTest::newRow("block 0,1 is record 1")
            << hx("A1 04 01 00 01 04") << hx("B1 07 01 01 47 00 FA 01 BB");
        QTest::newRow("block past the end") << hx("A1 04 01 0A 0A 05") << hx("B1 02 01 03");
        QTest::newRow("block count 0") << hx("A1 04 01 01 00 04") << hx("B1 02 01 03");
        QTest::newRow("probe without 55 AA") << hx("A1 04 05 00 00 01") << QByteArray();
        QTest::newRow("unknown kind") << hx("A1 04 03 00 00 07") << QByteArray();
        QTest::newRow("bad checksum") << hx("A1 04 06 00 00 03") << QByteArray();
        QTest::newRow("length not 4") << hx("A1 05 06 00 00 03") << QByteArray();
    }
    void goldenReplies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        Instrument sim(fixedConfig());
        const auto chunks = sim.receive(request);
        if (reply.isEmpty()) {
            QCOMPARE(chunks.size(), 0u);
            QCOMPARE(sim.repliesSent(), 0);
            return;
        }
        QCOMPARE(chunks.size(), 1u);
        QCOMPARE(chunks[0].delay, 5ms);
        QCOMPARE(chunks[0].bytes.toHex(' '), reply.toHex(' '));
        QCOMPARE(sim.repliesSent(), 1);
    }

    void realtimeValuesTakeTurns()
    {
        Instrument sim(fixedConfig());
        QCOMPARE(joined(sim.receive(Realtime)), hx("B1 06 06 00 7D 7B 01 07"));
        QCOMPARE(joined(sim.receive(Realtime)), hx("B1 06 06 17 6F 07 02 7D"));
        // a probe between two polls does not move the sequence on
        QCOMPARE(joined(sim.receive(Probe)), ProbeReply);
        QCOMPARE(joined(sim.receive(Realtime)), hx("B1 06 06 00 00 00 00 00"));
        QCOMPARE(joined(sim.receive(Realtime)), hx("B1 06 06 00 7D 7B 01 07"));
    }

    void generatedRealtimeValues()
    {
        SimConfig c;
        c.seed = 42;
        Instrument a(c), b(c);
        c.seed = 43;
        Instrument other(c);
        QSet<quint8> codes;
        QSet<QByteArray> frames;
        bool differs = false;
        for (int i = 0; i < 30; ++i) {
            const LiveValue expected = a.peekLive();
            const QByteArray fa = joined(a.receive(Realtime));
            QCOMPARE(fa, joined(b.receive(Realtime)));
            if (fa != joined(other.receive(Realtime))) differs = true;
            QCOMPARE(fa.size(), 8);
            QCOMPARE(fa.left(3), hx("B1 06 06"));
            QCOMPARE(static_cast<quint8>(fa[7]), xorFromLength(fa));
            const quint16 volt = quint16(quint8(fa[3]) << 8 | quint8(fa[4]));
            QCOMPARE(volt, expected.voltage);
            QCOMPARE(quint8(fa[5]), expected.current);
            QCOMPARE(quint8(fa[6]), expected.code);
            QVERIFY(volt <= 4000);
            codes.insert(quint8(fa[6]));
            frames.insert(fa);
        }
        QCOMPARE(codes, (QSet<quint8>{0, 1, 2}));
        QVERIFY2(frames.size() >= 20, "live values should change between polls");
        QVERIFY(differs);
    }

    void generatedRecords()
    {
        const auto a = generateRecords(25, 7);
        QCOMPARE(a.size(), 25u);
        QCOMPARE(generateRecords(25, 7), a);
        QVERIFY(generateRecords(25, 8) != a);
        QSet<quint8> codes;
        QSet<quint16> volts;
        for (const Record& r : a) {
            QVERIFY(r.voltage <= 4000);
            QVERIFY(r.code <= 2);
            codes.insert(r.code);
            volts.insert(r.voltage);
        }
        QCOMPARE(codes, (QSet<quint8>{0, 1, 2}));
        QVERIFY(volts.size() >= 10);
        QCOMPARE(generateRecords(0, 7).size(), 0u);
        QCOMPARE(generateRecords(300, 7).size(), 255u);
    }

    void historyPaging_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("first"); // first record returned, 1-based
        QTest::addColumn<int>("n");
        QTest::newRow("25: 1,10") << 25 << 1 << 10 << 1 << 10;
        QTest::newRow("25: 10,10") << 25 << 10 << 10 << 11 << 10;
        QTest::newRow("25: 20,5") << 25 << 20 << 5 << 21 << 5;
        QTest::newRow("25: 25,10") << 25 << 25 << 10 << 21 << 5;
        QTest::newRow("25: 30,10") << 25 << 30 << 10 << 31 << 0;
        QTest::newRow("25: 0,3") << 25 << 0 << 3 << 1 << 3;
        QTest::newRow("11: 10,1") << 11 << 10 << 1 << 11 << 1;
        QTest::newRow("0: 1,10") << 0 << 1 << 10 << 1 << 0;
        QTest::newRow("255: 1,255 capped") << 255 << 1 << 255 << 1 << 50;
        QTest::newRow("99: 90,10") << 99 << 90 << 10 << 91 << 9;
    }
    void historyPaging()
    {
        QFETCH(int, stored);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(int, first);
        QFETCH(int, n);
        SimConfig c;
        c.recordCount = stored;
        c.seed = 3;
        Instrument sim(c);
        QCOMPARE(int(sim.records().size()), stored);

        QCOMPARE(joined(sim.receive(RecordCount)),
                 Instrument::replyFrame(KindRecordCount, QByteArray(1, char(stored))));

        const QByteArray reply = joined(sim.receive(blockRequest(quint8(start), quint8(count))));
        QCOMPARE(reply.size(), 5 * n + 4);
        QCOMPARE(quint8(reply[0]), quint8(0xB1));
        QCOMPARE(quint8(reply[1]), quint8(5 * n + 2));
        QCOMPARE(quint8(reply[2]), quint8(0x01));
        QCOMPARE(quint8(reply.back()), xorFromLength(reply));
        for (int i = 0; i < n; ++i) {
            const Record& r = sim.records()[std::size_t(first - 1 + i)];
            const QByteArray rec = reply.mid(3 + 5 * i, 5);
            QCOMPARE(quint16(quint8(rec[0]) << 8 | quint8(rec[1])), r.voltage);
            QCOMPARE(quint16(quint8(rec[2]) << 8 | quint8(rec[3])), r.current);
            QCOMPARE(quint8(rec[4]), r.code);
        }
    }

    void faults_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("expected");
        const QByteArray block2 = hx("A1 04 01 02 01 06");
        QTest::newRow("none") << QStringList{"none"} << Probe << "5:B1 04 05 55 AA FE";
        QTest::newRow("silence") << QStringList{"silence"} << Probe << "";
        QTest::newRow("badcs") << QStringList{"badcs"} << Probe << "5:B1 04 05 55 AA 01";
        QTest::newRow("stray") << QStringList{"stray"} << Probe << "5:00 FF A1 B1 04 05 55 AA FE";
        QTest::newRow("stray:1") << QStringList{"stray:1"} << Probe << "5:00 B1 04 05 55 AA FE";
        QTest::newRow("split") << QStringList{"split"} << Probe << "5:B1 04 05|305:55 AA FE";
        QTest::newRow("split:50 realtime")
            << QStringList{"split:50"} << Realtime << "5:B1 06 06 00|55:7D 7B 01 07";
        QTest::newRow("truncate") << QStringList{"truncate"} << Probe << "5:B1 04 05 55 AA";
        QTest::newRow("truncate:3") << QStringList{"truncate:3"} << Probe << "5:B1 04 05";
        QTest::newRow("truncate:99") << QStringList{"truncate:99"} << Probe << "5:B1";
        QTest::newRow("f1") << QStringList{"f1"} << Probe << "5:B1 02 F1 F3";
        QTest::newRow("late") << QStringList{"late"} << Probe << "3000:B1 04 05 55 AA FE";
        QTest::newRow("late:800") << QStringList{"late:800"} << Probe << "800:B1 04 05 55 AA FE";
        QTest::newRow("f1@1 on probe") << QStringList{"f1@1"} << Probe << "5:B1 04 05 55 AA FE";
        QTest::newRow("f1@1 on block") << QStringList{"f1@1"} << block2 << "5:B1 02 F1 F3";
        QTest::newRow("f1@block on block") << QStringList{"f1@block"} << block2 << "5:B1 02 F1 F3";
        QTest::newRow("silence@6 on probe")
            << QStringList{"silence@6"} << Probe << "5:B1 04 05 55 AA FE";
        QTest::newRow("silence@realtime on realtime")
            << QStringList{"silence@realtime"} << Realtime << "";
        QTest::newRow("f1 then badcs") << QStringList{"f1", "badcs"} << Probe << "5:B1 02 F1 0C";
        QTest::newRow("late and split")
            << QStringList{"late:1000", "split"} << Probe << "1000:B1 04 05|1300:55 AA FE";
        QTest::newRow("stray then truncate")
            << QStringList{"stray:2", "truncate:2"} << Probe << "5:00 FF B1 04 05 55";
        QTest::newRow("randdrop:0") << QStringList{"randdrop:0"} << Probe << "5:B1 04 05 55 AA FE";
        QTest::newRow("randdrop:100") << QStringList{"randdrop:100"} << Probe << "";
    }
    void faults()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, request);
        QFETCH(QString, expected);
        SimConfig c = fixedConfig();
        for (const QString& f : faults) {
            const auto parsed = parseFault(f);
            QVERIFY2(parsed, qPrintable(f));
            c.faults.push_back(*parsed);
        }
        Instrument sim(c);
        QCOMPARE(describe(sim.receive(request)), expected);
        QCOMPARE(sim.repliesSent(), expected.isEmpty() ? 0 : 1);
        QCOMPARE(sim.repliesSuppressed(), expected.isEmpty() ? 1 : 0);
    }

    void dropEveryKth()
    {
        SimConfig c = fixedConfig();
        c.faults = {*parseFault(u"drop:3")};
        Instrument sim(c);
        QString pattern;
        for (int i = 0; i < 9; ++i)
            pattern += sim.receive(Probe).empty() ? u'-' : u'R';
        QCOMPARE(pattern, QStringLiteral("RR-RR-RR-"));
        QCOMPARE(sim.repliesSent(), 6);
        QCOMPARE(sim.repliesSuppressed(), 3);
        QCOMPARE(sim.requestsSeen(KindProbe), 9);
    }

    void dropEveryKthOfOneKind()
    {
        SimConfig c = fixedConfig();
        c.faults = {*parseFault(u"drop:2@realtime")};
        Instrument sim(c);
        QString pattern;
        for (int i = 0; i < 4; ++i) {
            pattern += sim.receive(Probe).empty() ? u'-' : u'P';
            pattern += sim.receive(Realtime).empty() ? u'-' : u'R';
        }
        QCOMPARE(pattern, QStringLiteral("PRP-PRP-"));
    }

    void randomDropRate()
    {
        SimConfig c = fixedConfig();
        c.seed = 11;
        c.faults = {*parseFault(u"randdrop:1")};
        Instrument a(c), b(c);
        QString pa, pb;
        for (int i = 0; i < 10000; ++i) {
            pa += a.receive(Probe).empty() ? u'-' : u'R';
            pb += b.receive(Probe).empty() ? u'-' : u'R';
        }
        QCOMPARE(pa, pb); // same seed, same losses
        QCOMPARE(a.repliesSuppressed(), int(pa.count(u'-')));
        // 1 % of 10000: 100 expected, a standard deviation of about 10
        QVERIFY2(a.repliesSuppressed() >= 60 && a.repliesSuppressed() <= 140,
                 qPrintable(QString::number(a.repliesSuppressed())));
    }

    void randomCorruptFlipsOneBit()
    {
        SimConfig c = fixedConfig();
        c.seed = 5;
        c.faults = {*parseFault(u"randcorrupt:1")};
        Instrument sim(c);
        int corrupted = 0;
        for (int i = 0; i < 10000; ++i) {
            const auto chunks = sim.receive(Probe);
            QCOMPARE(chunks.size(), 1u);
            const QByteArray got = chunks[0].bytes;
            QCOMPARE(got.size(), ProbeReply.size());
            int bits = 0;
            for (qsizetype k = 0; k < got.size(); ++k)
                bits += std::popcount(quint8(got[k] ^ ProbeReply[k]));
            QVERIFY(bits <= 1);
            corrupted += bits;
        }
        QVERIFY2(corrupted >= 60 && corrupted <= 140, qPrintable(QString::number(corrupted)));
        QCOMPARE(sim.repliesSent(), 10000);
    }

    void parseFaults_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("arg");
        QTest::addColumn<double>("probability");
        QTest::addColumn<int>("onlyKind"); // -1: every kind
        auto row = [](const char* text, bool valid, FaultType t = FaultType::None, int arg = 0,
                      double p = 0, int kind = -1) {
            QTest::newRow(text) << QString::fromLatin1(text) << valid << int(t) << arg << p << kind;
        };
        row("none", true, FaultType::None);
        row("silence", true, FaultType::Silence);
        row("drop", true, FaultType::DropEvery, 2);
        row("drop:5", true, FaultType::DropEvery, 5);
        row("badcs", true, FaultType::BadChecksum);
        row("stray", true, FaultType::StrayBytes, 3);
        row("split", true, FaultType::Split, 300);
        row("split:300@block", true, FaultType::Split, 300, 0, 1);
        row("truncate", true, FaultType::Truncate, 1);
        row("f1@1", true, FaultType::ReplyF1, 0, 0, 1);
        row("f1@count", true, FaultType::ReplyF1, 0, 0, 2);
        row("late", true, FaultType::Late, 3000);
        row("late:0", true, FaultType::Late, 0);
        row("randdrop", true, FaultType::RandomDrop, 0, 0.01);
        row("randdrop:0.5", true, FaultType::RandomDrop, 0, 0.005);
        row("randcorrupt:2@probe", true, FaultType::RandomCorrupt, 0, 0.02, 5);
        row("bogus", false);
        row("drop:0", false);
        row("drop:x", false);
        row("split:-5", false);
        row("f1:3", false);
        row("f1@9x", false);
        row("f1@", false);
        row("randdrop:150", false);
    }
    void parseFaults()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QString error;
        const auto f = parseFault(text, &error);
        QCOMPARE(f.has_value(), valid);
        if (!valid) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QFETCH(int, type);
        QFETCH(int, arg);
        QFETCH(double, probability);
        QFETCH(int, onlyKind);
        QCOMPARE(int(f->type), type);
        QCOMPARE(f->arg, arg);
        QVERIFY(qAbs(f->probability - probability) < 1e-12);
        QCOMPARE(f->onlyKind ? int(*f->onlyKind) : -1, onlyKind);
        QCOMPARE(faultName(f->type), text.section(u':', 0, 0).section(u'@', 0, 0));
    }

    void resync_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<int>("probes");
        QTest::addColumn<int>("discarded");
        QTest::newRow("garbage in front")
            << QList<QByteArray>{hx("00 FF 13 B1") + Probe} << ProbeReply << 1 << 4;
        QTest::newRow("stray A1 in front")
            << QList<QByteArray>{hx("A1") + Probe} << ProbeReply << 1 << 1;
        QTest::newRow("byte by byte")
            << QList<QByteArray>{hx("A1"), hx("04"), hx("05"), hx("55"), hx("AA"), hx("FE")}
            << ProbeReply << 1 << 0;
        QTest::newRow("split in two")
            << QList<QByteArray>{hx("A1 04 05 55"), hx("AA FE")} << ProbeReply << 1 << 0;
        QTest::newRow("cut-off request then a whole one")
            << QList<QByteArray>{hx("A1 04 06 00"), Probe} << ProbeReply << 1 << 4;
        QTest::newRow("bad checksum then good")
            << QList<QByteArray>{hx("A1 04 06 00 00 03") + Probe} << ProbeReply << 1 << 6;
        QTest::newRow("two at once")
            << QList<QByteArray>{Probe + Probe} << ProbeReply + ProbeReply << 2 << 0;
        QTest::newRow("garbage only")
            << QList<QByteArray>{hx("00 11 22 33 44 55 66 77")} << QByteArray() << 0 << 8;
    }
    void resync()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, replies);
        QFETCH(int, probes);
        QFETCH(int, discarded);
        Instrument sim(fixedConfig());
        QByteArray got;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const QByteArray out = joined(sim.receive(pieces[i]));
            if (i + 1 < pieces.size()) QCOMPARE(out.toHex(' '), QByteArray()); // nothing early
            got += out;
        }
        QCOMPARE(got.toHex(' '), replies.toHex(' '));
        QCOMPARE(sim.requestsSeen(KindProbe), probes);
        QCOMPARE(sim.bytesDiscarded(), discarded);
    }

    void counters()
    {
        Instrument sim(fixedConfig());
        sim.receive(Probe + Realtime + Realtime + RecordCount + hx("A1 04 01 01 0A 0E") +
                    hx("A1 04 03 00 00 07") + hx("A1 04 05 00 00 01"));
        QCOMPARE(sim.requestsSeen(KindProbe), 2);
        QCOMPARE(sim.requestsSeen(KindRealtime), 2);
        QCOMPARE(sim.requestsSeen(KindRecordCount), 1);
        QCOMPARE(sim.requestsSeen(KindHistoryBlock), 1);
        QCOMPARE(sim.requestsSeen(3), 1);
        QCOMPARE(sim.requestsSeen(), 7);
        QCOMPARE(sim.repliesSent(), 5);
        QCOMPARE(sim.repliesSuppressed(), 0);
    }

    void turnaroundIsConfigurable()
    {
        SimConfig c = fixedConfig();
        c.turnaround = 40ms;
        Instrument sim(c);
        QCOMPARE(describe(sim.receive(Probe)), QStringLiteral("40:B1 04 05 55 AA FE"));
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
