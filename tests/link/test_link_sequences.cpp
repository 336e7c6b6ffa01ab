// Discovery, polling, the reply timeout and whole history downloads, in virtual time against
// the in-process simulated instrument on a paced line.

#include "app/tab_strip.h"
#include "replies/measure_format.h"
#include "tests/support/form_rig.h"
#include "tests/support/sim_responder.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

const QByteArray Probe = hex("a1040555aafe");
const QByteArray Realtime = hex("a10406000002");
const QByteArray RecordCount = hex("a10402000006");

QByteArray blockRequest(int start, int count)
{
    QByteArray f = hex("a10401");
    f.append(char(start)).append(char(count));
    f.append(char(0x04 ^ 0x01 ^ start ^ count));
    return f;
}

// Writes from index `from` on, as hex, for readable failures.
QStringList writesSince(const ScriptedSerial& s, size_t from)
{
    QStringList out;
    for (size_t i = from; i < s.written().size(); ++i)
        out << s.written()[i].bytes.toHex();
    return out;
}

// Runs the port search until polling has started with the instrument on COM1.
void findOnCom1(FormRig& rig)
{
    QVERIFY(rig.clock.advanceUntil([&] { return rig.form->Timer_real->Enabled(); }, 5000ms));
    QVERIFY(rig.form->ComFound);
    QCOMPARE(rig.form->ComNo, 1);
}

} // namespace

class LinkSequenceTest : public QObject
{
    Q_OBJECT

private slots:
    void discoveryOnPort3()
    {
        FormRig rig;
        sim::SimConfig config;
        config.live = std::vector<sim::LiveValue>{{125, 123, 1}};
        sim::Instrument instrument(config);
        rig.serial->setOutcome(3, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(3, instrument));
        Form1& f = *rig.form;

        rig.advance(600);
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1无效"));
        rig.advance(600);
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM2无效"));
        QVERIFY(rig.serial->written().empty());
        rig.advance(600); // 1.8 s: the probe goes out on COM3
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM3已打开"));
        QCOMPARE(rig.serial->written().size(), size_t(1));
        QCOMPARE(rig.serial->written()[0].at, 1800ms);
        QCOMPARE(rig.serial->written()[0].bytes, Probe);
        QCOMPARE(f.ComNo, 4);
        QCOMPARE(f.RxNeed, 6);
        QCOMPARE(f.LinkState, 1);
        rig.advance(100);
        QVERIFY(f.ComFound);
        QCOMPARE(f.LinkState, 2);
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯成功"));
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(!f.MSComm1->PortOpen());
        rig.advance(500); // 2.4 s
        QCOMPARE(f.ComNo, 3);
        QVERIFY(!f.Timer_findcom->Enabled());
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(!f.Button_read->isEnabled()); // realtime view
        QVERIFY(f.menuread->isEnabled());     // enabled in either view
        rig.advance(1499);
        QCOMPARE(rig.serial->written().size(), size_t(1));
        rig.advance(1); // 3.9 s: the first realtime request
        QCOMPARE(rig.serial->written().size(), size_t(2));
        QCOMPARE(rig.serial->written()[1].at, 3900ms);
        QCOMPARE(rig.serial->written()[1].bytes, Realtime);
        rig.advance(100);
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("13kV"));
        QCOMPARE(f.Lab_value_ll->text(), QStringLiteral("35kV"));
        QCOMPARE(f.Lab_value_a->text(), QStringLiteral("12.3A"));
        // Polling goes on every 1.5 s on the port found.
        rig.advance(3000);
        QCOMPARE(rig.serial->written().size(), size_t(4));
        QCOMPARE(rig.serial->written()[3].at, 6900ms);
        QCOMPARE(rig.serial->written()[3].com, 3);
    }

    void instrumentOnPort16Wraps()
    {
        FormRig rig;
        sim::Instrument instrument;
        rig.serial->setOutcome(16, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(16, instrument));
        Form1& f = *rig.form;
        rig.advance(16 * 600);
        QCOMPARE(f.ComNo, 1);
        rig.advance(100);
        QVERIFY(f.ComFound);
        rig.advance(500);
        QCOMPARE(f.ComNo, 16);
        QVERIFY(f.Timer_real->Enabled());
    }

    void noPortOpens()
    {
        FormRig rig;
        Form1& f = *rig.form;
        rig.advance(2499);
        QCOMPARE(f.LinkState, 0);
        rig.advance(1);
        QCOMPARE(f.LinkState, 5);
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯失败"));
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

    void portInUseDuringScan()
    {
        FormRig rig;
        rig.serial->setOutcome(1, OpenOutcome::InUse);
        rig.serial->setOutcome(2, OpenOutcome::Failed);
        rig.advance(600);
        QCOMPARE(rig.form->LabComsta->text(), QStringLiteral("COM1被占用"));
        rig.advance(600);
        // Any other failure reads as opened, but the port is closed and no probe is sent.
        QCOMPARE(rig.form->LabComsta->text(), QStringLiteral("COM2已打开"));
        QVERIFY(!rig.form->MSComm1->PortOpen());
        QVERIFY(rig.serial->written().empty());
    }

    void answerAfterFirstTimeout()
    {
        FormRig rig;
        sim::Instrument instrument;
        rig.serial->setOutcome(5, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(5, instrument));
        rig.advance(2500);
        QCOMPARE(rig.form->Lab_rtsta->text(), QStringLiteral("通讯失败"));
        rig.advance(600);
        QVERIFY(rig.form->ComFound);
        QCOMPARE(rig.form->Lab_rtsta->text(), QStringLiteral("通讯成功"));
    }

    void silentWhilePolling()
    {
        FormRig rig;
        sim::Instrument instrument;
        bool silent = false;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(1, instrument, [&](const QByteArray&, auto reply) {
            return silent ? decltype(reply){} : reply;
        }));
        findOnCom1(rig);
        Form1& f = *rig.form;
        rig.advance(1600); // one poll answered
        silent = true;
        const size_t before = rig.serial->written().size();
        QVERIFY(
            rig.clock.advanceUntil([&] { return rig.serial->written().size() > before; }, 2000ms));
        const auto firstUnanswered = rig.serial->written().back().at;
        // The next request, 1.5 s later, does not push the timeout back.
        rig.clock.advance(firstUnanswered + 2499ms - rig.clock.now());
        QCOMPARE(rig.serial->written().size(), before + 2);
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯成功"));
        rig.advance(1);
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯失败"));
        QCOMPARE(f.LinkState, 5);
        QCOMPARE(f.ComNo, 1);
        QVERIFY(f.ComFound);
        silent = false;
        QVERIFY(rig.clock.advanceUntil(
            [&] { return f.Lab_rtsta->text() == QStringLiteral("通讯成功"); }, 1600ms));
        QCOMPARE(f.ComNo, 1);
    }

    void download_data()
    {
        QTest::addColumn<int>("total");
        for (int total : {1, 10, 11, 25, 99, 100, 255})
            QTest::newRow(qPrintable(QString::number(total))) << total;
    }

    void download()
    {
        QFETCH(int, total);
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = total;
        config.seed = 11;
        sim::Instrument instrument(config);
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(1, instrument));
        findOnCom1(rig);
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        QVector<int> progress;
        connect(f.Progress_read, &QProgressBar::valueChanged, [&](int v) { progress << v; });
        bool progressShown = false;
        connect(f.Progress_read, &QProgressBar::valueChanged,
                [&] { progressShown |= f.Progress_read->isVisibleTo(&f); });

        const size_t from = rig.serial->written().size();
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 10000ms));

        // Requests: record count, then blocks (1, n), (10, n), (20, n) ... over at most 99.
        const int shown = std::min(total, 99);
        QStringList expected{RecordCount.toHex()};
        for (int block = 0; block * 10 < shown; ++block)
            expected << blockRequest(block == 0 ? 1 : block * 10, std::min(10, shown - block * 10))
                            .toHex();
        const QStringList sent = writesSince(*rig.serial, from);
        QCOMPARE(sent.mid(0, expected.size()), expected);

        // Every row up to the total holds its own record; the rows after it stay empty.
        for (int row = 1; row <= 99; ++row) {
            if (row <= shown) {
                const sim::Record& r = instrument.records()[size_t(row - 1)];
                const MeasureTexts t = historyTexts(r.voltage, r.current, r.code);
                QCOMPARE(f.DataGrid->TextMatrix(row, 1), t.ground);
                QCOMPARE(f.DataGrid->TextMatrix(row, 2), t.line);
                QCOMPARE(f.DataGrid->TextMatrix(row, 3), t.current);
            } else {
                QCOMPARE(f.DataGrid->TextMatrix(row, 1), QString());
            }
            QCOMPARE(f.DataGrid->TextMatrix(row, 0), QString::number(row));
        }

        // Progress 0, 10, 20, ... then the total, and hidden at the end.
        QVector<int> expectedProgress{0};
        for (int v = 10; v < shown; v += 10)
            expectedProgress << v;
        if (expectedProgress.last() != shown) expectedProgress << shown;
        QCOMPARE(progress, expectedProgress);
        QVERIFY(progressShown);
        QCOMPARE(f.Progress_read->maximum(), shown);
        QVERIFY(!f.Progress_read->isVisibleTo(&f));

        QCOMPARE(f.RecTotal, shown);
        QCOMPARE(f.RecBlock, 0);
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(f.Button_read->isEnabled() && f.menuread->isEnabled());
        QVERIFY(f.Button_save->isEnabled() && f.Button_clear->isEnabled());
        QVERIFY(f.Button_print->isEnabled() && f.Button_help->isEnabled());
        QVERIFY(isEnabled(f.menuhelp) && f.menuclear->isEnabled() && f.menusave->isEnabled());
        QVERIFY(rig.boxes->shown.empty());
        // Polling goes on: the next request is a probe (history view).
        QVERIFY(rig.clock.advanceUntil(
            [&] { return rig.serial->written().size() > from + expected.size(); }, 2000ms));
        QCOMPARE(rig.serial->written().back().bytes, Probe);
    }

    void downloadOfNoRecords()
    {
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 0;
        sim::Instrument instrument(config);
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(1, instrument));
        findOnCom1(rig);
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        bool pollingWhileBoxOpen = true;
        rig.boxes->whileOpen = [&] { pollingWhileBoxOpen = f.Timer_real->Enabled(); };
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return !rig.boxes->shown.empty(); }, 3000ms));
        QCOMPARE(rig.boxes->shown.size(), size_t(1));
        QCOMPARE(rig.boxes->shown[0].text, QStringLiteral("设备的测量历史记录组数为0！"));
        QCOMPARE(rig.boxes->shown[0].title, QStringLiteral("tesvaron"));
        QVERIFY(!pollingWhileBoxOpen); // polling resumes only once the box is closed
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(f.TabStrip1->isEnabled() && f.Button_read->isEnabled());
        QVERIFY(!f.Progress_read->isVisibleTo(&f));
        QCOMPARE(f.RecTotal, 0);
        QCOMPARE(instrument.requestsSeen(sim::KindHistoryBlock), 0);
    }

    void refusalInTheMiddleOfADownload()
    {
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 35;
        sim::Instrument instrument(config);
        int blocks = 0;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(
            instrumentOn(1, instrument, [&](const QByteArray& req, auto reply) {
                // A refusal as long as the block asked for, so the receive threshold lets it in.
                if (req.size() > 2 && req[2] == 1 && ++blocks == 2)
                    return decltype(reply){
                        {5ms, sim::Instrument::replyFrame(0xF1, QByteArray(50, 0))}};
                return reply;
            }));
        findOnCom1(rig);
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return blocks == 2; }, 3000ms));
        rig.advance(100);
        // Ended at once, not after the reply timeout, and the rows in stay.
        QVERIFY(f.TabStrip1->isEnabled());
        QVERIFY(f.Button_read->isEnabled() && f.Button_save->isEnabled());
        QVERIFY(!f.Progress_read->isVisibleTo(&f));
        QCOMPARE(f.RecBlock, 0);
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(!f.DataGrid->TextMatrix(10, 1).isEmpty());
        QVERIFY(f.DataGrid->TextMatrix(11, 1).isEmpty());
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯成功"));
    }

    void timeoutInTheMiddleOfADownload()
    {
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 35;
        sim::Instrument instrument(config);
        int blocks = 0;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(
            instrumentOn(1, instrument, [&](const QByteArray& req, auto reply) {
                if (req.size() > 2 && req[2] == 1 && ++blocks == 3) return decltype(reply){};
                return reply;
            }));
        findOnCom1(rig);
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return blocks == 3; }, 3000ms));
        const auto sentAt = rig.clock.now();
        QVERIFY(rig.clock.advanceUntil([&] { return f.LinkState == 5; }, 3000ms));
        QVERIFY(rig.clock.now() - sentAt <= 2500ms);
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯失败"));
        QVERIFY(f.TabStrip1->isEnabled() && f.Button_clear->isEnabled() &&
                f.Button_read->isEnabled());
        QVERIFY(!f.Progress_read->isVisibleTo(&f));
        QCOMPARE(f.RecBlock, 0);
        QVERIFY(f.Timer_real->Enabled());
        QVERIFY(!f.DataGrid->TextMatrix(20, 1).isEmpty());
        QVERIFY(f.DataGrid->TextMatrix(21, 1).isEmpty());
    }

    void readWaitsForAnOpenExchange()
    {
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 3;
        config.turnaround = 400ms; // a slow answer keeps the poll open for a while
        sim::Instrument instrument(config);
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(1, instrument));
        QVERIFY(rig.clock.advanceUntil([&] { return rig.form->Timer_real->Enabled(); }, 5000ms));
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        // Wait for the next poll to go out, then ask for the history while it is open.
        const size_t polls = rig.serial->written().size();
        QVERIFY(
            rig.clock.advanceUntil([&] { return rig.serial->written().size() > polls; }, 2000ms));
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
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 3;
        sim::Instrument instrument(config);
        bool silent = false;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(instrumentOn(1, instrument, [&](const QByteArray&, auto reply) {
            return silent ? decltype(reply){} : reply;
        }));
        findOnCom1(rig);
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        silent = true;
        const size_t polls = rig.serial->written().size();
        QVERIFY(
            rig.clock.advanceUntil([&] { return rig.serial->written().size() > polls; }, 2000ms));
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
};

QTEST_MAIN(LinkSequenceTest)
#include "test_link_sequences.moc"
