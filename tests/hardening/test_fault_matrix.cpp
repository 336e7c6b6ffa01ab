// Faults on a real serial line: the window on the system's serial ports (a pseudo-terminal linked
// as COM1), the tesvaron-sim program or the simulated instrument in this process behind it, and
// the window's timers on a virtual clock. Every case ends with the window usable again within
// one reply timeout: the tab strip and the view's commands enabled, Lab_rtsta saying how the
// last exchange went, and the rows already written still there.

#include "app/tab_strip.h"
#include "replies/measure_format.h"
#include "tests/hardening/line_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

namespace {

constexpr auto ReplyTimeout = 2500ms;
const QString Succeeded = QStringLiteral("通讯成功");
const QString Failed = QStringLiteral("通讯失败");
// What an earlier download left in the record cells.
const QString Earlier = QStringLiteral("earlier");

enum class Outcome {
    Complete,  // every record in, commands back at once
    NoRecords, // the instrument holds none: the message, commands back
    Fails,     // ended by the reply timer
    Either,    // whether the reply is whole when the notification comes depends on timing
};

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

QByteArray frame(quint8 kind, const QByteArray& payload)
{
    return sim::Instrument::replyFrame(kind, payload);
}

bool foundOnCom1(LineWindow& w)
{
    return w.runUntil([&] { return w.form->ComFound && w.form->Timer_real->Enabled(); }, 3000ms) &&
           w.form->ComNo == 1;
}

void fillAsEarlier(Form1& f)
{
    for (int row = 1; row <= 99; ++row)
        for (int col = 1; col <= 3; ++col)
            f.DataGrid->setTextMatrix(row, col, Earlier);
}

// Rows from 1 on that no longer hold the earlier download's texts.
int rowsWritten(const Form1& f)
{
    int rows = 0;
    while (rows < 99 && f.DataGrid->TextMatrix(rows + 1, 1) != Earlier)
        ++rows;
    return rows;
}

// Rows 1..n hold the instrument's first n records, and every later row the earlier texts.
void checkRows(const Form1& f, int n, const std::vector<sim::Record>& records)
{
    for (int row = 1; row <= 99; ++row) {
        if (row <= n) {
            const sim::Record& r = records.at(std::size_t(row - 1));
            const MeasureTexts t = historyTexts(r.voltage, r.current, r.code);
            QCOMPARE(f.DataGrid->TextMatrix(row, 1), t.ground);
            QCOMPARE(f.DataGrid->TextMatrix(row, 2), t.line);
            QCOMPARE(f.DataGrid->TextMatrix(row, 3), t.current);
        } else {
            for (int col = 1; col <= 3; ++col)
                QCOMPARE(f.DataGrid->TextMatrix(row, col), Earlier);
        }
    }
}

// The commands of the view that shows are all back and nothing of a download is left.
void checkUsable(const Form1& f)
{
    QVERIFY(f.TabStrip1->isEnabled());
    QVERIFY(f.Button_save->isEnabled() && f.Button_print->isEnabled() &&
            f.Button_help->isEnabled());
    QVERIFY(f.menusave->isEnabled() && f.menuprint->isEnabled() && isEnabled(f.menuhelp));
    QVERIFY(f.Button_close->isEnabled() && f.menuclose->isEnabled());
    if (f.RealMode) {
        QVERIFY(!f.Button_read->isEnabled());
    } else {
        QVERIFY(f.Button_read->isEnabled() && f.menuread->isEnabled());
        QVERIFY(f.Button_clear->isEnabled() && f.menuclear->isEnabled());
    }
    QVERIFY(f.Progress_read->isHidden());
    QCOMPARE(f.RecBlock, 0);
    QVERIFY(f.Timer_real->Enabled());
}

// Lab_rtsta and LinkState after the last exchange succeeded or failed.
void checkStatus(const Form1& f, bool succeeded)
{
    QCOMPARE(f.Lab_rtsta->text(), succeeded ? Succeeded : Failed);
    QCOMPARE(f.LinkState, succeeded ? 2 : 5);
}

// Clicks Read and runs until the commands are back; they must come back no later than one reply
// timeout after the last request the window wrote.
void readAndWait(LineWindow& w)
{
    Form1& f = *w.form;
    QVERIFY(f.Button_read->isEnabled());
    f.Button_read->click();
    QVERIFY(!f.TabStrip1->isEnabled());
    QVERIFY(w.runUntil([&] { return f.TabStrip1->isEnabled(); }, 20000ms));
    const auto sinceRequest = w.clock.now() - w.port->lastWriteAt;
    QVERIFY2(sinceRequest <= ReplyTimeout + LineWindow::Step,
             qPrintable(QStringLiteral("commands back %1 ms after the last request")
                            .arg(sinceRequest.count())));
}

} // namespace

class FaultMatrixTest : public QObject
{
    Q_OBJECT

private slots:
    void polling_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<bool>("succeeds");
        const auto args = [](const char* fault, bool pace = false) {
            QStringList a{QStringLiteral("--fault"), QString::fromLatin1(fault)};
            if (!pace) a << QStringLiteral("--no-pace");
            return a;
        };
        QTest::newRow("no reply") << args("silence@realtime") << false;
        QTest::newRow("reply too short") << args("truncate:1@realtime") << false;
        QTest::newRow("reply split over two writes") << args("split:150@realtime", true) << true;
        QTest::newRow("stray bytes before the header") << args("stray:3@realtime") << true;
        QTest::newRow("bad checksum") << args("badcs@realtime") << false;
        QTest::newRow("short refusal") << args("f1@realtime") << false;
    }

    // Polling in the realtime view with every realtime reply faulty in one way.
    void polling()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(bool, succeeds);
        LineFolder folder;
        SimProcess sim;
        QVERIFY(!sim.start(simArgs).isEmpty());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));

        const int before = w.port->writes;
        QVERIFY(w.runUntil([&] { return w.port->writes > before; }, 2000ms));
        const auto firstPoll = w.port->lastWriteAt;
        if (succeeds) {
            // The instrument's first live value, as its twin in this process gives it.
            const sim::LiveValue live = sim::Instrument(sim::SimConfig{}).peekLive();
            const MeasureTexts t = realtimeTexts(live.voltage, live.current, live.code);
            QVERIFY(w.runUntil([&] { return f.LinkState == 2; }, 1000ms));
            QCOMPARE(f.Lab_value_lg->text(), t.ground);
            QCOMPARE(f.Lab_value_ll->text(), t.line);
            QCOMPARE(f.Lab_value_a->text(), t.current);
        } else {
            QVERIFY(w.runUntil([&] { return f.LinkState == 5; }, ReplyTimeout + 100ms));
            QVERIFY(w.clock.now() - firstPoll <= ReplyTimeout + LineWindow::Step);
            QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("0.0kV"));
        }
        checkStatus(f, succeeds);
        checkUsable(f);
        // Polling goes on at the same port.
        const int polls = w.port->writes;
        w.run(1600ms);
        QVERIFY(w.port->writes > polls);
        QCOMPARE(f.ComNo, 1);
        QVERIFY(f.ComFound);
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("records"); // stored in the instrument
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("rows"); // written when it fails
        const auto args = [](int records, const char* fault, bool pace = false) {
            QStringList a{QStringLiteral("--records"), QString::number(records)};
            if (fault) a << QStringLiteral("--fault") << QString::fromLatin1(fault);
            if (!pace) a << QStringLiteral("--no-pace");
            return a;
        };
        const int fails = int(Outcome::Fails);
        QTest::newRow("no reply to a block") << args(25, "silence@block") << 25 << fails << 0;
        QTest::newRow("block reply too short") << args(25, "truncate:1@block") << 25 << fails << 0;
        QTest::newRow("block reply split over two writes")
            << args(25, "split:150@block", true) << 25 << int(Outcome::Complete) << 25;
        QTest::newRow("stray bytes before the header")
            << args(25, "stray:3@block") << 25 << int(Outcome::Complete) << 25;
        QTest::newRow("stray bytes before the header, paced")
            << args(25, "stray:3@block", true) << 25 << int(Outcome::Either) << 0;
        QTest::newRow("bad checksum on a block") << args(25, "badcs@block") << 25 << fails << 0;
        QTest::newRow("short refusal instead of a block")
            << args(25, "f1@block") << 25 << fails << 0;
        QTest::newRow("second block lost") << args(25, "drop:2@block") << 25 << fails << 10;
        QTest::newRow("no reply to the record count")
            << args(25, "silence@count") << 25 << fails << 0;
        QTest::newRow("bad checksum on the record count")
            << args(25, "badcs@count") << 25 << fails << 0;
        QTest::newRow("record total 0") << args(0, nullptr) << 0 << int(Outcome::NoRecords) << 0;
        QTest::newRow("record total 99")
            << args(99, nullptr, true) << 99 << int(Outcome::Complete) << 99;
        QTest::newRow("record total 255")
            << args(255, nullptr) << 255 << int(Outcome::Complete) << 99;
    }

    // A history download with the instrument misbehaving in one way.
    void download()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, records);
        QFETCH(int, outcome);
        QFETCH(int, rows);
        LineFolder folder;
        SimProcess sim;
        QVERIFY(!sim.start(simArgs).isEmpty());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        f.TabStrip1->clickTab(2);
        fillAsEarlier(f);

        readAndWait(w);
        if (QTest::currentTestFailed()) return;
        checkUsable(f);
        if (QTest::currentTestFailed()) return;

        const std::vector<sim::Record> stored = sim::generateRecords(records, 1);
        switch (Outcome(outcome)) {
        case Outcome::Complete:
            checkStatus(f, true);
            QVERIFY(w.boxes->shown.empty());
            break;
        case Outcome::NoRecords:
            checkStatus(f, true);
            QCOMPARE(w.boxes->shown.size(), size_t(1));
            QCOMPARE(w.boxes->shown[0].text, QStringLiteral("设备的测量历史记录组数为0！"));
            break;
        case Outcome::Fails:
            checkStatus(f, false);
            break;
        case Outcome::Either:
            // Whole when the notification came: every row; otherwise a timeout and whole blocks.
            rows = rowsWritten(f);
            checkStatus(f, rows == records);
            QCOMPARE(rows % 10 == 0 || rows == records, true);
            break;
        }
        checkRows(f, rows, stored);
    }

    void midDownload_data()
    {
        QTest::addColumn<int>("kind"); // of the request whose reply is replaced
        QTest::addColumn<int>("nth");  // which one of that kind
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("atOnce");   // the reply itself ends the download
        QTest::addColumn<bool>("succeeds"); // Lab_rtsta afterwards
        QTest::addColumn<int>("rows");      // records in the table afterwards
        const QByteArray probe = hex("b1040555aafe");
        const QByteArray live = frame(0x06, hex("007d7b01"));
        QTest::newRow("refusal as long as the block")
            << 1 << 2 << frame(0xF1, QByteArray(50, 0)) << true << true << 10;
        QTest::newRow("short refusal") << 1 << 2 << hex("b102f1f3") << false << false << 10;
        QTest::newRow("unknown kind as long as the block")
            << 1 << 2 << frame(0x7F, QByteArray(50, 0)) << false << false << 10;
        QTest::newRow("probe reply instead of a block")
            << 1 << 2 << probe + QByteArray(48, 0) << true << true << 10;
        QTest::newRow("realtime reply instead of a block")
            << 1 << 2 << live + QByteArray(46, 0) << true << true << 10;
        // A fresh, smaller total pages again from row 1.
        QTest::newRow("record count instead of a block")
            << 1 << 2 << frame(0x02, hex("05")) + QByteArray(49, 0) << true << true << 10;
        QTest::newRow("realtime reply to the record count") << 2 << 1 << live << true << true << 0;
    }

    // The simulated instrument in this process, over a pty, answering one request of a download
    // with something else.
    void midDownload()
    {
        QFETCH(int, kind);
        QFETCH(int, nth);
        QFETCH(QByteArray, reply);
        QFETCH(bool, atOnce);
        QFETCH(bool, succeeds);
        QFETCH(int, rows);
        sim::SimConfig config;
        config.recordCount = 35;
        int seen = 0;
        PtyInstrument instrument(config, [&](const QByteArray& request, const QByteArray& genuine) {
            if (quint8(request[2]) == kind && ++seen == nth) return reply;
            return genuine;
        });
        QVERIFY(instrument.ok());
        LineFolder folder;
        QVERIFY(folder.pointCom1At(instrument.slavePath()));
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        f.TabStrip1->clickTab(2);
        fillAsEarlier(f);

        f.Button_read->click();
        QVERIFY(w.runUntil([&] { return seen >= nth; }, 3000ms));
        const auto replacedAt = w.clock.now();
        QVERIFY(w.runUntil([&] { return f.TabStrip1->isEnabled(); }, ReplyTimeout + 100ms));
        if (atOnce)
            QVERIFY(w.clock.now() - replacedAt <= 2 * LineWindow::Step);
        else
            QVERIFY(w.clock.now() - w.port->lastWriteAt <= ReplyTimeout + LineWindow::Step);
        checkUsable(f);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(f.Lab_rtsta->text(), succeeds ? Succeeded : Failed);
        checkRows(f, rows, instrument.instrument().records());
    }

    // Every realtime poll answered with a well-formed frame of a kind the window does not know:
    // taken (LinkState 2), yet the reply timer runs on and reports the exchange failed.
    void unknownKindWhilePolling()
    {
        PtyInstrument instrument(sim::SimConfig{}, [](const QByteArray& request,
                                                      const QByteArray& genuine) {
            return quint8(request[2]) == sim::KindRealtime ? frame(0x07, hex("00640501")) : genuine;
        });
        QVERIFY(instrument.ok());
        LineFolder folder;
        QVERIFY(folder.pointCom1At(instrument.slavePath()));
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        const int before = w.port->writes;
        QVERIFY(w.runUntil([&] { return w.port->writes > before; }, 2000ms));
        const auto firstPoll = w.port->lastWriteAt;
        QVERIFY(w.runUntil([&] { return f.LinkState == 2; }, 100ms));
        QVERIFY(f.Timer_timeout->Enabled());
        QVERIFY(w.runUntil([&] { return f.LinkState == 5; }, ReplyTimeout + 100ms));
        QVERIFY(w.clock.now() - firstPoll <= ReplyTimeout + LineWindow::Step);
        checkStatus(f, false);
        checkUsable(f);
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("0.0kV"));
    }

    // The instrument disappears in the middle of a download (the simulator is killed) and comes
    // back on the same COM link: polling finds it again without a restart.
    void deviceVanishesAndReturns()
    {
        LineFolder folder;
        auto sim = std::make_unique<SimProcess>();
        const QStringList args{QStringLiteral("--records"), QStringLiteral("99"),
                               QStringLiteral("--no-pace")};
        // Every second block reply left out: the window waits for block 2 when the device goes.
        QVERIFY(!sim->start(args +
                            QStringList{QStringLiteral("--fault"), QStringLiteral("drop:2@block")})
                     .isEmpty());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        f.TabStrip1->clickTab(2);
        fillAsEarlier(f);
        f.Button_read->click();
        QVERIFY(w.runUntil([&] { return f.DataGrid->TextMatrix(10, 1) != Earlier; }, 3000ms));
        QVERIFY(f.MSComm1->PortOpen());
        QCOMPARE(f.LinkState, 1);
        sim->kill();

        QVERIFY(w.runUntil([&] { return f.TabStrip1->isEnabled(); }, ReplyTimeout + 100ms));
        QVERIFY(w.clock.now() - w.port->lastWriteAt <= ReplyTimeout + LineWindow::Step);
        checkUsable(f);
        checkStatus(f, false);
        const std::vector<sim::Record> stored = sim::generateRecords(99, 1);
        checkRows(f, 10, stored);
        if (QTest::currentTestFailed()) return;

        // The link is left pointing nowhere: polls find no port and fail.
        QVERIFY(
            w.runUntil([&] { return f.LabComsta->text() == QStringLiteral("COM1无效"); }, 2000ms));
        w.run(5000ms);
        QCOMPARE(f.Lab_rtsta->text(), Failed);
        checkUsable(f);

        // The dead device's pty number may go to another program meanwhile, and the simulator
        // will not take over a link to a live device; so the link names nothing when it comes.
        QVERIFY(folder.pointCom1At(folder.com1() + QStringLiteral(".gone")));
        sim = std::make_unique<SimProcess>();
        QVERIFY(!sim->start(args).isEmpty());
        QVERIFY(w.runUntil([&] { return f.Lab_rtsta->text() == Succeeded; }, 3000ms));
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1已打开"));
        QCOMPARE(f.ComNo, 1);
        QVERIFY(!f.Timer_findcom->Enabled());
        checkRows(f, 10, stored);

        readAndWait(w);
        checkUsable(f);
        checkStatus(f, true);
        checkRows(f, 99, stored);
    }

    // Another program holds the device open: every exchange fails until it lets go.
    void portHeldByAnotherProgram()
    {
        LineFolder folder;
        SimProcess sim;
        const QString device = sim.start({QStringLiteral("--no-pace")});
        QVERIFY(!device.isEmpty());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        f.TabStrip1->clickTab(2);
        fillAsEarlier(f);

        PortHolder holder;
        QVERIFY(holder.hold(device));
        QVERIFY(w.runUntil([&] { return f.LabComsta->text() == QStringLiteral("COM1被占用"); },
                           2000ms));
        QVERIFY(w.runUntil([&] { return f.LinkState == 5; }, ReplyTimeout + 100ms));
        checkStatus(f, false);
        checkUsable(f);
        if (QTest::currentTestFailed()) return;

        readAndWait(w);
        checkUsable(f);
        checkStatus(f, false);
        checkRows(f, 0, {});
        if (QTest::currentTestFailed()) return;

        holder.release();
        QVERIFY(w.runUntil([&] { return f.Lab_rtsta->text() == Succeeded; }, 2000ms));
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1已打开"));
    }

    void linkToSomethingElse_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("regular file") << false;
        QTest::newRow("directory") << true;
    }

    // COM1 comes to point at something that is not a serial port, and back.
    void linkToSomethingElse()
    {
        QFETCH(bool, directory);
        QTemporaryDir scratch;
        QString target = scratch.path();
        if (!directory) {
            QFile plain(scratch.filePath(QStringLiteral("plain")));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.write("not a serial port");
            target = plain.fileName();
        }
        LineFolder folder;
        SimProcess sim;
        const QString device = sim.start({QStringLiteral("--no-pace")});
        QVERIFY(!device.isEmpty());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(foundOnCom1(w));
        f.TabStrip1->clickTab(2);
        fillAsEarlier(f);

        QVERIFY(folder.pointCom1At(target));
        QVERIFY(w.runUntil([&] { return f.LinkState == 5; }, 1500ms + ReplyTimeout + 100ms));
        // It does not open, and reads as opened, as any failure other than "in use" and
        // "no such port" does.
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1已打开"));
        QVERIFY(!f.MSComm1->PortOpen());
        checkStatus(f, false);
        checkUsable(f);
        if (QTest::currentTestFailed()) return;

        readAndWait(w);
        checkUsable(f);
        checkStatus(f, false);
        checkRows(f, 0, {});
        if (QTest::currentTestFailed()) return;

        QVERIFY(folder.pointCom1At(device));
        QVERIFY(w.runUntil([&] { return f.Lab_rtsta->text() == Succeeded; }, 2000ms));
    }
};

int main(int argc, char** argv)
{
    const int held = holdPortMain(argc, argv);
    if (held >= 0) return held;
    QApplication app(argc, argv);
    FaultMatrixTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_fault_matrix.moc"
