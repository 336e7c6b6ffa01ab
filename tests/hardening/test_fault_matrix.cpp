// Faults on a real serial line: the window on the system's serial ports (a pseudo-terminal linked
// as COM1), the tesvaron-sim program or the simulated instrument in this process behind it, and
// the window's timers on a virtual clock. Every case ends with the window usable again within
// one reply timeout: the tab strip and the view's commands enabled, Lab_rtsta saying how the
// last exchange went, and the rows already written still there.

#include "tests/hardening/line_window.h"
#include "tests/support/sim_responder.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

namespace {

constexpr auto ReplyTimeout = 2500ms;
const QString Succeeded = QStringLiteral("通讯成功");
const QString Failed = QStringLiteral("通讯失败");
// What an earlier download left in the record cells.
const QString Earlier = QStringLiteral("earlier");

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

QByteArray frame(quint8 kind, const QByteArray& payload)
{
    return sim::Instrument::replyFrame(kind, payload);
}

// tesvaron-sim's arguments: the records it holds, a fault, and whether it paces its bytes.
QStringList simArgs(const char* fault, bool pace = false, int records = 25)
{
    QStringList a{QStringLiteral("--records"), QString::number(records)};
    if (fault) a << QStringLiteral("--fault") << QString::fromLatin1(fault);
    if (!pace) a << QStringLiteral("--no-pace");
    return a;
}

bool foundOnCom1(LineWindow& w)
{
    return w.runUntil([&] { return w.form->ComFound && w.form->Timer_real->Enabled(); }, 3000ms) &&
           w.form->ComNo == 1;
}

// Found on COM1, then the history view with every record cell holding an earlier download's text.
bool readyForHistory(LineWindow& w)
{
    if (!foundOnCom1(w)) return false;
    w.form->TabStrip1->clickTab(2);
    for (int row = 1; row <= 99; ++row)
        for (int col = 1; col <= 3; ++col)
            w.form->DataGrid->setTextMatrix(row, col, Earlier);
    return true;
}

bool nextRequest(LineWindow& w, std::chrono::milliseconds limit = 2000ms)
{
    const int before = w.port->writes;
    return w.runUntil([&] { return w.port->writes > before; }, limit);
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
    for (int row = 1; row <= 99; ++row)
        QCOMPARE(rowTexts(f, row), row <= n ? recordTexts(records.at(std::size_t(row - 1)))
                                            : QStringList(3, Earlier));
}

// The commands of the view that shows are all back and nothing of a download is left.
void checkUsable(const Form1& f)
{
    const QString now = commands(f);
    const QString want =
        f.RealMode ? QStringLiteral("0. 11 .. 11 11 11 1") : QStringLiteral("11 11 11 11 11 11 1");
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(want)).match(now).hasMatch(),
             qPrintable(now));
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

// The window's commands are back, and no later than one reply timeout after the last request.
bool backInTime(LineWindow& w, std::chrono::milliseconds limit)
{
    if (!w.runUntil([&] { return w.form->TabStrip1->isEnabled(); }, limit)) return false;
    const auto sinceRequest = w.clock.now() - w.port->lastWriteAt;
    if (sinceRequest <= ReplyTimeout + LineWindow::Step) return true;
    qWarning("commands back %lld ms after the last request", qint64(sinceRequest.count()));
    return false;
}

// Clicks Read and runs until the commands are back.
void readAndWait(LineWindow& w)
{
    QVERIFY(w.form->Button_read->isEnabled());
    w.form->Button_read->click();
    QVERIFY(!w.form->TabStrip1->isEnabled());
    QVERIFY(backInTime(w, 20000ms));
}

} // namespace

class FaultMatrixTest : public QObject
{
    Q_OBJECT

private slots:
    void polling_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("no reply") << simArgs("silence@realtime") << false;
        QTest::newRow("reply too short") << simArgs("truncate:1@realtime") << false;
        QTest::newRow("reply split over two writes") << simArgs("split:150@realtime", true) << true;
        QTest::newRow("stray bytes before the header") << simArgs("stray:3@realtime") << true;
        QTest::newRow("bad checksum") << simArgs("badcs@realtime") << false;
        QTest::newRow("short refusal") << simArgs("f1@realtime") << false;
    }

    // Polling in the realtime view with every realtime reply faulty in one way.
    void polling()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, succeeds);
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(!w.sim.startSim(args).isEmpty());
        QVERIFY(foundOnCom1(w));

        QVERIFY(nextRequest(w));
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
        QVERIFY(nextRequest(w, 1600ms));
        QCOMPARE(f.ComNo, 1);
        QVERIFY(f.ComFound);
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("records");   // stored in the instrument
        QTest::addColumn<int>("rows");      // written; -1: whole blocks or all, by timing
        QTest::addColumn<bool>("succeeds"); // the last exchange
        const auto row = [](const char* name, const char* fault, int records, int rows,
                            bool succeeds, bool pace = false) {
            QTest::newRow(name) << simArgs(fault, pace, records) << records << rows << succeeds;
        };
        row("no reply to a block", "silence@block", 25, 0, false);
        row("block reply too short", "truncate:1@block", 25, 0, false);
        row("block reply split over two writes", "split:150@block", 25, 25, true, true);
        row("stray bytes before the header", "stray:3@block", 25, 25, true);
        row("stray bytes before the header, paced", "stray:3@block", 25, -1, true, true);
        row("bad checksum on a block", "badcs@block", 25, 0, false);
        row("short refusal instead of a block", "f1@block", 25, 0, false);
        row("second block lost", "drop:2@block", 25, 10, false);
        row("no reply to the record count", "silence@count", 25, 0, false);
        row("bad checksum on the record count", "badcs@count", 25, 0, false);
        row("record total 0", nullptr, 0, 0, true);
        row("record total 99", nullptr, 99, 99, true, true);
        row("record total 255", nullptr, 255, 99, true);
    }

    // A history download with the instrument misbehaving in one way.
    void download()
    {
        QFETCH(QStringList, args);
        QFETCH(int, records);
        QFETCH(int, rows);
        QFETCH(bool, succeeds);
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(!w.sim.startSim(args).isEmpty());
        QVERIFY(readyForHistory(w));

        readAndWait(w);
        if (QTest::currentTestFailed()) return;
        checkUsable(f);
        if (rows < 0) {
            // Whole when the notification came: every row; otherwise a timeout and whole blocks.
            rows = rowsWritten(f);
            succeeds = rows == records;
            QVERIFY(rows % 10 == 0 || succeeds);
        }
        checkStatus(f, succeeds);
        // Only an instrument that holds no records says so.
        QCOMPARE(w.boxes->shown.size(), size_t(records == 0));
        if (records == 0)
            QCOMPARE(w.boxes->shown[0].text, QStringLiteral("设备的测量历史记录组数为0！"));
        checkRows(f, rows, sim::generateRecords(records, 1));
    }

    void midDownload_data()
    {
        QTest::addColumn<int>("kind"); // of the request whose reply is replaced
        QTest::addColumn<int>("nth");  // which one of that kind
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("atOnce");   // the reply itself ends the download
        QTest::addColumn<bool>("succeeds"); // Lab_rtsta afterwards
        QTest::addColumn<int>("rows");      // records in the table afterwards
        const auto row = [](const char* name, int kind, int nth, const QByteArray& reply,
                            bool atOnce, bool succeeds, int rows) {
            QTest::newRow(name) << kind << nth << reply << atOnce << succeeds << rows;
        };
        const QByteArray probe = hex("b1040555aafe");
        const QByteArray live = frame(0x06, hex("007d7b01"));
        row("refusal as long as the block", 1, 2, frame(0xF1, QByteArray(50, 0)), true, true, 10);
        row("short refusal", 1, 2, hex("b102f1f3"), false, false, 10);
        row("unknown kind as long as the block", 1, 2, frame(0x7F, QByteArray(50, 0)), false, false,
            10);
        row("probe reply instead of a block", 1, 2, probe + QByteArray(48, 0), true, true, 10);
        row("realtime reply instead of a block", 1, 2, live + QByteArray(46, 0), true, true, 10);
        // A fresh, smaller total pages again from row 1.
        row("record count instead of a block", 1, 2, frame(0x02, hex("05")) + QByteArray(49, 0),
            true, true, 10);
        row("realtime reply to the record count", 2, 1, live, true, true, 0);
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
            return quint8(request[2]) == kind && ++seen == nth ? reply : genuine;
        });
        QVERIFY(instrument.ok());
        LineWindow w;
        Form1& f = *w.form;
        QVERIFY(w.pointCom1At(instrument.slavePath()));
        QVERIFY(readyForHistory(w));

        f.Button_read->click();
        QVERIFY(w.runUntil([&] { return seen >= nth; }, 3000ms));
        const auto replacedAt = w.clock.now();
        QVERIFY(backInTime(w, ReplyTimeout + 100ms));
        if (atOnce) QVERIFY(w.clock.now() - replacedAt <= 2 * LineWindow::Step);
        checkUsable(f);
        QCOMPARE(f.Lab_rtsta->text(), succeeds ? Succeeded : Failed);
        checkRows(f, rows, instrument.instrument().records());
    }

    // The instrument disappears in the middle of a download (the simulator is killed) and comes
    // back on the same COM link: polling finds it again without a restart.
    void deviceVanishesAndReturns()
    {
        LineWindow w;
        Form1& f = *w.form;
        // Every second block reply left out: the window waits for block 2 when the device goes.
        QVERIFY(!w.sim.startSim(simArgs("drop:2@block", false, 99)).isEmpty());
        QVERIFY(readyForHistory(w));
        f.Button_read->click();
        QVERIFY(w.runUntil([&] { return f.DataGrid->TextMatrix(10, 1) != Earlier; }, 3000ms));
        QVERIFY(f.MSComm1->PortOpen());
        QCOMPARE(f.LinkState, 1);
        w.sim.kill();

        QVERIFY(backInTime(w, ReplyTimeout + 100ms));
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
        QVERIFY(w.pointCom1At(w.com1() + QStringLiteral(".gone")));
        QVERIFY(!w.sim.startSim(simArgs(nullptr, false, 99)).isEmpty());
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

    void lineTakenAway_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("label"); // LabComsta meanwhile
        QTest::newRow("port held by another program") << "held" << QStringLiteral("COM1被占用");
        // Not serial ports: they do not open, and read as opened, as any failure other than
        // "in use" and "no such port" does.
        QTest::newRow("link to a regular file") << "file" << QStringLiteral("COM1已打开");
        QTest::newRow("link to a directory") << "dir" << QStringLiteral("COM1已打开");
    }

    // The line is taken away and given back: every exchange fails meanwhile, a download too,
    // and then polling finds the instrument again.
    void lineTakenAway()
    {
        QFETCH(QString, what);
        QFETCH(QString, label);
        LineWindow w;
        Form1& f = *w.form;
        const QString device = w.sim.startSim(simArgs(nullptr));
        QVERIFY(!device.isEmpty());
        QVERIFY(readyForHistory(w));

        ChildProcess holder;
        QTemporaryDir scratch;
        if (what == QLatin1String("held")) {
            QVERIFY(holder.hold(device));
        } else {
            QFile plain(scratch.filePath(QStringLiteral("plain")));
            QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("not a serial port") > 0);
            QVERIFY(
                w.pointCom1At(what == QLatin1String("file") ? plain.fileName() : scratch.path()));
        }
        QVERIFY(w.runUntil([&] { return f.LinkState == 5; }, 1500ms + ReplyTimeout + 100ms));
        QCOMPARE(f.LabComsta->text(), label);
        QVERIFY(!f.MSComm1->PortOpen());
        checkStatus(f, false);
        checkUsable(f);
        if (QTest::currentTestFailed()) return;

        readAndWait(w);
        checkUsable(f);
        checkStatus(f, false);
        checkRows(f, 0, {});
        if (QTest::currentTestFailed()) return;

        if (what == QLatin1String("held"))
            holder.stop();
        else
            QVERIFY(w.pointCom1At(device));
        QVERIFY(w.runUntil([&] { return f.Lab_rtsta->text() == Succeeded; }, 2000ms));
        QCOMPARE(f.LabComsta->text(), QStringLiteral("COM1已打开"));
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
