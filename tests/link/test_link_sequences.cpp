// Discovery, polling, the reply timeout and whole history downloads, in virtual time against
// the in-process simulated instrument on a paced line.

#include "tests/support/sim_responder.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

const QByteArray Probe = hex("a1040555aafe");
const QByteArray RecordCount = hex("a10402000006");
const QString Succeeded = QStringLiteral("通讯成功");
const QString Failed = QStringLiteral("通讯失败");

QByteArray blockRequest(int start, int count)
{
    return hex("a10401") + char(start) + char(count) + char(0x04 ^ 0x01 ^ start ^ count);
}

// Leaves out every reply while `silent` is set.
ReplyFilter silencedBy(const bool& silent)
{
    return [&silent](const QByteArray&, auto reply) { return silent ? decltype(reply){} : reply; };
}

// Runs until the window has written another request.
bool nextRequest(SimRig& rig, std::chrono::milliseconds limit = 2000ms)
{
    const size_t before = rig.serial->written().size();
    return rig.clock.advanceUntil([&] { return rig.serial->written().size() > before; }, limit);
}

} // namespace

class LinkSequenceTest : public QObject
{
    Q_OBJECT

private slots:
    void discoveryOnPort3()
    {
        sim::SimConfig config;
        config.live = std::vector<sim::LiveValue>{{125, 123, 1}};
        SimRig rig(config, {}, 3);
        Form1& f = *rig.form;

        rig.advance(600);
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1无效"));
        rig.advance(600);
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM2无效"));
        rig.advance(600); // 1.8 s: the probe goes out on COM3
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM3已打开"));
        QCOMPARE(f.ComNo, 4);
        QCOMPARE(f.LinkState, 1);
        rig.advance(100);
        QVERIFY(f.ComFound);
        QCOMPARE(f.LinkState, 2);
        QCOMPARE(f.Lab_rtsta->text(), Succeeded);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(!f.MSComm1->PortOpen());
        rig.advance(500); // 2.4 s
        QCOMPARE(f.ComNo, 3);
        QVERIFY(!f.Timer_findcom->Enabled());
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(!f.Button_read->isEnabled()); // realtime view
        QVERIFY(f.menuread->isEnabled());     // enabled in either view
        rig.advance(1600);
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("13kV"));
        QCOMPARE(f.Lab_value_ll->text(), QStringLiteral("35kV"));
        QCOMPARE(f.Lab_value_a->text(), QStringLiteral("12.3A"));
        rig.advance(2900); // 6.9 s
        // The probe, then a realtime request every 1.5 s from 3.9 s on, all on the port found.
        QStringList requests;
        for (const Written& w : rig.serial->written())
            requests << QStringLiteral("%1 COM%2 %3")
                            .arg(w.at.count())
                            .arg(w.com)
                            .arg(QString::fromLatin1(w.bytes.toHex()));
        QCOMPARE(requests, (QStringList{"1800 COM3 a1040555aafe", "3900 COM3 a10406000002",
                                        "5400 COM3 a10406000002", "6900 COM3 a10406000002"}));
    }

    void instrumentOnPort16Wraps()
    {
        SimRig rig({}, {}, 16);
        rig.advance(16 * 600);
        QCOMPARE(rig.form->ComNo, 1);
        rig.advance(100);
        QVERIFY(rig.form->ComFound);
        rig.advance(500);
        QCOMPARE(rig.form->ComNo, 16);
        QVERIFY(rig.form->Timer_real->Enabled());
    }

    // Port 1 in use, port 2 failing in another way, no other port: nothing ever opens.
    void noPortOpens()
    {
        FormRig rig;
        Form1& f = *rig.form;
        rig.serial->setOutcome(1, OpenOutcome::InUse);
        rig.serial->setOutcome(2, OpenOutcome::Failed);
        rig.advance(600);
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1被占用"));
        rig.advance(600);
        // Any other failure reads as opened, but the port is closed and no probe is sent.
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM2已打开"));
        QVERIFY(!f.MSComm1->PortOpen());
        rig.advance(1299);
        QCOMPARE(f.LinkState, 0);
        rig.advance(1); // 2.5 s: the reply timer, running since start-up, runs out once
        QCOMPARE(f.LinkState, 5);
        QCOMPARE(f.Lab_rtsta->text(), Failed);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(f.Timer_real->Enabled());
        rig.advance(20000);
        QVERIFY(rig.serial->written().empty());
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(f.Timer_findcom->Enabled());
        QVERIFY(f.LabComsta->text().endsWith(QStringLiteral("无效")));
        // The scan keeps walking the numbers 1..16.
        QVERIFY(f.ComNo >= 1 && f.ComNo <= 16);
    }

    void silentWhilePolling()
    {
        bool silent = false;
        SimRig rig({}, silencedBy(silent));
        Form1& f = *rig.form;
        QVERIFY(rig.found());
        rig.advance(1600); // one poll answered
        silent = true;
        const size_t before = rig.serial->written().size();
        QVERIFY(nextRequest(rig));
        const auto firstUnanswered = rig.serial->written().back().at;
        // The next request, 1.5 s later, does not push the timeout back.
        rig.clock.advance(firstUnanswered + 2499ms - rig.clock.now());
        QCOMPARE(rig.serial->written().size(), before + 2);
        QCOMPARE(f.Lab_rtsta->text(), Succeeded);
        rig.advance(1);
        QCOMPARE(f.Lab_rtsta->text(), Failed);
        QCOMPARE(f.LinkState, 5);
        QVERIFY(f.ComFound);
        silent = false;
        QVERIFY(rig.clock.advanceUntil([&] { return f.Lab_rtsta->text() == Succeeded; }, 1600ms));
        QCOMPARE(f.ComNo, 1);
    }

    void download_data()
    {
        QTest::addColumn<int>("total");
        for (int total : {0, 1, 10, 11, 25, 99, 100, 255})
            QTest::newRow(qPrintable(QString::number(total))) << total;
    }

    void download()
    {
        QFETCH(int, total);
        sim::SimConfig config;
        config.recordCount = total;
        config.seed = 11;
        SimRig rig(config);
        QVERIFY(rig.found());
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        QVector<int> progress;
        bool progressShown = false;
        connect(f.Progress_read, &QProgressBar::valueChanged, [&](int v) {
            progress << v;
            progressShown |= f.Progress_read->isVisibleTo(&f);
        });
        bool pollingWhileBoxOpen = true;
        rig.boxes->whileOpen = [&] { pollingWhileBoxOpen = f.Timer_real->Enabled(); };

        const size_t from = rig.serial->written().size();
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 10000ms));

        // Requests: record count, then blocks (1, n), (10, n), (20, n) ... over at most 99.
        const int shown = std::min(total, 99);
        QStringList expected{RecordCount.toHex()};
        for (int block = 0; block * 10 < shown; ++block)
            expected << blockRequest(block == 0 ? 1 : block * 10, std::min(10, shown - block * 10))
                            .toHex();
        QStringList sent; // as hex, for readable failures
        for (size_t i = from; i < rig.serial->written().size(); ++i)
            sent << rig.serial->written()[i].bytes.toHex();
        QCOMPARE(sent.mid(0, expected.size()), expected);

        // Every row up to the total holds its own record; the rows after it stay empty.
        for (int row = 1; row <= 99; ++row) {
            QCOMPARE(rowTexts(f, row), row <= shown
                                           ? recordTexts(rig.instrument.records()[size_t(row - 1)])
                                           : QStringList(3, QString()));
            QCOMPARE(f.DataGrid->TextMatrix(row, 0), QString::number(row));
        }

        // Progress 0, 10, 20, ... then the total, and hidden at the end.
        QVector<int> expectedProgress;
        for (int v = 0; v < shown; v += 10)
            expectedProgress << v;
        if (shown > 0 && expectedProgress.last() != shown) expectedProgress << shown;
        QCOMPARE(progress, expectedProgress);
        QCOMPARE(progressShown, shown > 0);
        if (shown > 0) QCOMPARE(f.Progress_read->maximum(), shown);
        QVERIFY(!f.Progress_read->isVisibleTo(&f));

        QCOMPARE(f.RecTotal, shown);
        QCOMPARE(f.RecBlock, 0);
        QVERIFY(f.Timer_real->Enabled());
        QCOMPARE(commands(f), QStringLiteral("11 11 11 11 11 11 1"));
        // No records: the message, and polling resumes only once it is closed.
        QCOMPARE(rig.boxes->shown.size(), size_t(total == 0));
        if (total == 0) {
            QCOMPARE(rig.boxes->shown[0].text, QStringLiteral("设备的测量历史记录组数为0！"));
            QCOMPARE(rig.boxes->shown[0].title, QStringLiteral("tesvaron"));
            QVERIFY(!pollingWhileBoxOpen);
        }
        // Polling goes on: the next request is a probe (history view).
        QVERIFY(rig.clock.advanceUntil(
            [&] { return rig.serial->written().size() > from + expected.size(); }, 2000ms));
        QCOMPARE(rig.serial->written().back().bytes, Probe);
    }

    void readWaitsForAnOpenExchange()
    {
        sim::SimConfig config;
        config.recordCount = 3;
        config.turnaround = 400ms; // a slow answer keeps the poll open for a while
        SimRig rig(config);
        QVERIFY(rig.found());
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        // Wait for the next poll to go out, then ask for the history while it is open.
        QVERIFY(nextRequest(rig));
        QCOMPARE(f.LinkState, 1);
        const auto pollAt = rig.serial->written().back().at;
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil(
            [&] { return rig.serial->written().back().bytes == RecordCount; }, 3000ms));
        const auto countAt = rig.serial->written().back().at;
        // The reply took 400 ms turnaround plus line time; the start tick comes within 30 ms of it.
        QVERIFY(countAt - pollAt > 400ms);
        QVERIFY(countAt - pollAt < 400ms + 60ms);
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 5000ms));
        QVERIFY(!f.DataGrid->TextMatrix(3, 1).isEmpty());
    }

    void pollTimeoutWhileReadWaits()
    {
        sim::SimConfig config;
        config.recordCount = 3;
        bool silent = false;
        SimRig rig(config, silencedBy(silent));
        QVERIFY(rig.found());
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        silent = true;
        QVERIFY(nextRequest(rig));
        f.Button_read->click();
        silent = false;
        // The poll's timeout gives the commands back and restarts polling; the waiting start
        // tick then still asks for the count, so the download runs with polling active.
        QVERIFY(rig.clock.advanceUntil([&] { return f.LinkState == 5; }, 3000ms));
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(rig.clock.advanceUntil(
            [&] { return rig.serial->written().back().bytes == RecordCount; }, 100ms));
        QVERIFY(rig.clock.advanceUntil([&] { return !f.DataGrid->TextMatrix(3, 1).isEmpty(); },
                                       3000ms));
    }

    // A late record count that lands in a poll's reply starts paging while the commands stay
    // enabled; the next poll then cuts that paging short.
    void lateRecordCountCutShortByAPoll()
    {
        sim::SimConfig config;
        config.recordCount = 25;
        bool lateCount = false;
        int blocks = 0;
        SimRig rig(config, [&](const QByteArray& request, auto reply) {
            const quint8 kind = quint8(request[2]);
            if (kind == sim::KindProbe && lateCount) {
                // The answer to an earlier record-count request comes in front of the probe's.
                lateCount = false;
                reply.insert(reply.begin(), {0ms, hex("b103021918")});
            }
            // The instrument did not expect the second block request: it stays silent.
            if (kind == sim::KindHistoryBlock && ++blocks == 2) return decltype(reply){};
            return reply;
        });
        Form1& f = *rig.form;
        QVERIFY(rig.found());
        f.TabStrip1->clickTab(2);

        lateCount = true;
        QVERIFY(rig.clock.advanceUntil([&] { return blocks == 2; }, 3000ms));
        // Paging runs with the commands enabled: rows 1..10 are in, block 2 is awaited.
        QVERIFY(f.TabStrip1->isEnabled());
        QVERIFY(!f.Progress_read->isHidden());
        QCOMPARE(f.RecBlock, 1);
        QVERIFY(!f.DataGrid->TextMatrix(10, 1).isEmpty());

        // The next poll's probe closes the port on block 2 and its answer stops the reply
        // timer: the paging is over, so its progress bar and block count must go.
        QVERIFY(nextRequest(rig));
        rig.advance(100);
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(f.Progress_read->isHidden());
        QCOMPARE(f.RecBlock, 0);
        QCOMPARE(commands(f), QStringLiteral("11 11 11 11 11 11 1"));
        rig.advance(10000);
        QVERIFY(f.Progress_read->isHidden());

        // A download asked for now pages from row 1.
        f.Button_clear->click();
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 10000ms));
        QCOMPARE(f.Lab_rtsta->text(), Succeeded);
        for (int row = 1; row <= 99; ++row)
            QCOMPARE(rowTexts(f, row), row <= 25
                                           ? recordTexts(rig.instrument.records()[size_t(row - 1)])
                                           : QStringList(3, QString()));
    }
};

QTEST_MAIN(LinkSequenceTest)
#include "test_link_sequences.moc"
