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
        QTest::addColumn<int>("counted"); // requests seen of the frame's kind; 0: not a request
        QTest::newRow("probe") << Probe << ProbeReply << 1;
        QTest::newRow("realtime") << Realtime << hx("B1 06 06 00 7D 7B 01 07") << 1;
        QTest::newRow("record count") << RecordCount << hx("B1 03 02 03 02") << 1;
        QTest::newRow("block 1,10")
            << hx("A1 04 01 01 0A 0E")
            << hx("B1 11 01  01 47 00 FA 01  00 00 00 05 02  19 64 04 D2 00  01") << 1;
        QTest::newRow("block count 0") << hx("A1 04 01 01 00 04") << hx("B1 02 01 03") << 1;
        QTest::newRow("probe without 55 AA") << hx("A1 04 05 00 00 01") << QByteArray() << 1;
        QTest::newRow("unknown kind") << hx("A1 04 03 00 00 07") << QByteArray() << 1;
        QTest::newRow("bad checksum") << hx("A1 04 06 00 00 03") << QByteArray() << 0;
        QTest::newRow("length not 4") << hx("A1 05 06 00 00 03") << QByteArray() << 0;
    }
    void goldenReplies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, counted);
        Instrument sim(fixedConfig());
        const QString hex = QString::fromLatin1(reply.toHex(' ').toUpper());
        QCOMPARE(describe(sim.receive(request)), reply.isEmpty() ? QString() : "5:" + hex);
        QCOMPARE(sim.repliesSent(), reply.isEmpty() ? 0 : 1);
        QCOMPARE(sim.repliesSuppressed(), 0);
        QCOMPARE(sim.requestsSeen(quint8(request[2])), counted);
        QCOMPARE(sim.requestsSeen(), counted);
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
            const LiveValue sent{quint16(quint8(fa[3]) << 8 | quint8(fa[4])), quint8(fa[5]),
                                 quint8(fa[6])};
            QVERIFY(sent == expected);
            QVERIFY(sent.voltage <= 4000);
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
        QTest::newRow("25: 25,10") << 25 << 25 << 10 << 21 << 5;
        QTest::newRow("25: 30,10") << 25 << 30 << 10 << 31 << 0;
        QTest::newRow("25: 0,3") << 25 << 0 << 3 << 1 << 3;
        QTest::newRow("255: 1,255 capped") << 255 << 1 << 255 << 1 << 50;
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

        // B1 03 02 n, checksum 03 ^ 02 ^ n.
        QCOMPARE(joined(sim.receive(RecordCount)),
                 hx("B1 03 02") + char(stored) + char(1 ^ stored));

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
        QTest::addColumn<int>("turnaround"); // ms
        const QByteArray block2 = hx("A1 04 01 02 01 06");
        const auto row = [](const char* name, const QStringList& faults, const QByteArray& request,
                            const char* expected, int turnaround = 5) {
            QTest::newRow(name) << faults << request << QString::fromLatin1(expected) << turnaround;
        };
        row("none", {"none"}, Probe, "5:B1 04 05 55 AA FE");
        row("turnaround 40", {}, Probe, "40:B1 04 05 55 AA FE", 40);
        row("silence", {"silence"}, Probe, "");
        row("badcs", {"badcs"}, Probe, "5:B1 04 05 55 AA 01");
        row("stray", {"stray"}, Probe, "5:00 FF A1 B1 04 05 55 AA FE");
        row("split:50 realtime", {"split:50"}, Realtime, "5:B1 06 06 00|55:7D 7B 01 07");
        row("truncate", {"truncate"}, Probe, "5:B1 04 05 55 AA");
        row("truncate:99", {"truncate:99"}, Probe, "5:B1");
        row("f1", {"f1"}, Probe, "5:B1 02 F1 F3");
        row("late", {"late"}, Probe, "3000:B1 04 05 55 AA FE");
        row("f1@1 on probe", {"f1@1"}, Probe, "5:B1 04 05 55 AA FE");
        row("f1@block on block", {"f1@block"}, block2, "5:B1 02 F1 F3");
        row("silence@realtime on realtime", {"silence@realtime"}, Realtime, "");
        row("f1 then badcs", {"f1", "badcs"}, Probe, "5:B1 02 F1 0C");
        row("late and split", {"late:1000", "split"}, Probe, "1000:B1 04 05|1300:55 AA FE");
        row("stray then truncate", {"stray:2", "truncate:2"}, Probe, "5:00 FF B1 04 05 55");
        row("randdrop:0", {"randdrop:0"}, Probe, "5:B1 04 05 55 AA FE");
        row("randdrop:100", {"randdrop:100"}, Probe, "");
    }
    void faults()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, request);
        QFETCH(QString, expected);
        QFETCH(int, turnaround);
        SimConfig c = fixedConfig();
        c.turnaround = std::chrono::milliseconds(turnaround);
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

    void dropEveryKth_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QList<QByteArray>>("requests"); // sent one after another
        QTest::addColumn<QString>("pattern");            // 'R' reply, '-' dropped
        QTest::newRow("drop:3") << "drop:3" << QList<QByteArray>(9, Probe) << "RR-RR-RR-";
        const QList<QByteArray> mixed{Probe, Realtime, Probe, Realtime, Probe, Realtime};
        QTest::newRow("drop:2@realtime") << "drop:2@realtime" << mixed << "RRR-RR";
    }
    void dropEveryKth()
    {
        QFETCH(QString, fault);
        QFETCH(QList<QByteArray>, requests);
        QFETCH(QString, pattern);
        SimConfig c = fixedConfig();
        c.faults = {*parseFault(fault)};
        Instrument sim(c);
        QString got;
        for (const QByteArray& request : requests)
            got += sim.receive(request).empty() ? u'-' : u'R';
        QCOMPARE(got, pattern);
        QCOMPARE(sim.requestsSeen(), int(requests.size()));
        QCOMPARE(sim.repliesSent(), int(pattern.count(u'R')));
        QCOMPARE(sim.repliesSuppressed(), int(pattern.count(u'-')));
    }

    void randomFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("randdrop:1") << "randdrop:1";
        QTest::newRow("randcorrupt:1") << "randcorrupt:1";
    }
    // A lost reply or a flipped bit counts as one event; 1 % of 10000 replies is 100 expected,
    // a standard deviation of about 10.
    void randomFaults()
    {
        QFETCH(QString, fault);
        SimConfig c = fixedConfig();
        c.seed = 11;
        c.faults = {*parseFault(fault)};
        Instrument a(c), b(c);
        int dropped = 0;
        int flipped = 0;
        for (int i = 0; i < 10000; ++i) {
            const auto chunks = a.receive(Probe);
            QCOMPARE(describe(chunks), describe(b.receive(Probe))); // same seed, same faults
            QVERIFY(chunks.size() <= 1);
            if (chunks.empty()) {
                ++dropped;
                continue;
            }
            QCOMPARE(chunks[0].bytes.size(), ProbeReply.size());
            int bits = 0;
            for (qsizetype k = 0; k < ProbeReply.size(); ++k)
                bits += std::popcount(quint8(chunks[0].bytes[k] ^ ProbeReply[k]));
            QVERIFY(bits <= 1);
            flipped += bits;
        }
        QCOMPARE(a.repliesSuppressed(), dropped);
        const int events = fault.startsWith(u"randdrop") ? dropped : flipped;
        QCOMPARE(dropped + flipped, events); // only the one kind of fault
        QVERIFY2(events >= 60 && events <= 140, qPrintable(QString::number(events)));
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
        row("drop", true, FaultType::DropEvery, 2);
        row("split:300@block", true, FaultType::Split, 300, 0, 1);
        row("f1@1", true, FaultType::ReplyF1, 0, 0, 1);
        row("late:0", true, FaultType::Late, 0);
        row("randdrop", true, FaultType::RandomDrop, 0, 0.01);
        row("randdrop:0.5", true, FaultType::RandomDrop, 0, 0.005);
        row("randcorrupt:2@probe", true, FaultType::RandomCorrupt, 0, 0.02, 5);
        row("bogus", false);
        row("drop:0", false);
        row("split:-5", false);
        row("f1:3", false);
        row("f1@9x", false);
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
        const auto row = [](const char* name, const QList<QByteArray>& pieces,
                            const QByteArray& replies, int probes, int discarded) {
            QTest::newRow(name) << pieces << replies << probes << discarded;
        };
        row("garbage in front", {hx("00 FF 13 B1") + Probe}, ProbeReply, 1, 4);
        row("stray A1 in front", {hx("A1") + Probe}, ProbeReply, 1, 1);
        row("byte by byte", {hx("A1"), hx("04"), hx("05"), hx("55"), hx("AA"), hx("FE")},
            ProbeReply, 1, 0);
        row("cut-off request then a whole one", {hx("A1 04 06 00"), Probe}, ProbeReply, 1, 4);
        row("bad checksum then good", {hx("A1 04 06 00 00 03") + Probe}, ProbeReply, 1, 6);
        row("two at once", {Probe + Probe}, ProbeReply + ProbeReply, 2, 0);
        row("garbage only", {hx("00 11 22 33 44 55 66 77")}, QByteArray(), 0, 8);
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
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
