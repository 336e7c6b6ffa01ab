// tesvaron-cli: its decisions from tables, then the program against tesvaron-sim over a pty.

#include "cli/cli_core.h"
#include "output/text_files.h"
#include "sim/instrument.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace tesvaron;
using namespace tesvaron::cli;

namespace {

// A private port-link folder where only the simulator's COM number names a device.
struct Bench
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess sim;
    mutable QProcess cli;

    explicit Bench(const QStringList& simArgs = {})
    {
        env.insert("TESVARON_PORTS", dir.path());
        for (int com = 1; com <= 16; ++com)
            QFile::link(dir.filePath("absent"), dir.filePath(QString("COM%1").arg(com)));
        sim.setProcessEnvironment(env), cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(dir.path());
        if (simArgs.isEmpty()) return;
        sim.start(TESVARON_SIM_BINARY, simArgs + QStringList{"--no-pace"});
        sim.waitForReadyRead(10000); // its link is in place once it says where it points
    }
    ~Bench() { sim.terminate(), sim.waitForFinished(5000); }
    int run(const QStringList& args) const // the exit code; the output stays in `cli`
    {
        cli.start(TESVARON_CLI_BINARY, args);
        const bool ended = cli.waitForFinished(30000) && cli.exitStatus() == QProcess::NormalExit;
        return ended ? cli.exitCode() : -1;
    }
    QByteArray file(const QString& name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
};

} // namespace

class TstCli : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        // Named by the command line: command, COM, device, output, ms, count, csv.
        QTest::addColumn<QString>("parsed");
        const auto row = [](const char* line, const char* parsed) {
            QTest::newRow(line) << QString(parsed);
        };
        row("read --port com3 -o a.csv", "3 3  a.csv 1500 0 ");
        row("find --port ttyACM0", "2 0 /dev/ttyACM0  1500 0 ");
        row("watch --port /dev/ttyUSB0 --interval 0.5 --count=3 --csv w.csv",
            "4 0 /dev/ttyUSB0  500 3 w.csv");
        for (const char* bad : {"read", "read -o a.doc", "find --port COM17", "ports --port COM1",
                                "watch --interval 0", "watch --count x", "find now", "scan"})
            row(bad, "error");
    }
    void arguments()
    {
        const Options o = parseArguments(QString(QTest::currentDataTag()).split(' '));
        QString fields; // QDebug's, each field followed by a space
        QDebug(&fields).noquote() << int(o.command) << o.port.com << o.port.device << o.output
                                  << o.interval.count() << o.count << o.csv;
        QTEST(o.error.isEmpty() ? fields.chopped(1) : "error", "parsed");
    }

    void layouts()
    {
        QCOMPARE(plainNumber("NO--") + plainNumber("1.50A") + plainNumber("9.9kV"), "1.509.9");
        const QDateTime at(QDate(2026, 12, 7), QTime(10, 15, 2, 123), QTimeZone(-19800));
        const auto hex = [](const char* text) { return QByteArray::fromHex(text); };
        ReplyFrameBytes frame{};
        // A header with length 0, then a probe reply, then the realtime reply asked for.
        QCOMPARE(findReply(hex("B100B1040555AAFEB10606007D0F0173"), 6, frame), ReplyCheck::Ok);
        QCOMPARE(
            watchLine(at, liveReading(frame)),
            "2026-12-07T10:15:02.123-05:30  13kV   35kV   1.5A     volt=125 current=15 code=1");
        QCOMPARE(findReply(hex("B10606007D0F0174"), 6, frame), ReplyCheck::BadChecksum);
    }

    void findReadWatch()
    {
        const Bench bench({"--com", "5", "--records", "25", "--seed", "7"});
        QVERIFY(bench.run({"find"}) == 0 &&
                bench.cli.readAllStandardOutput().startsWith("COM5 /dev/pts/"));

        const auto records = sim::generateRecords(25, 7);
        const auto cell = [&](int row, int col) -> QString {
            static const QStringList titles{"NO.", "对地电压", "    线电压  ", "   电      流"};
            if (row == 0 || col == 0) return row == 0 ? titles[col] : QString::number(row);
            if (row > int(records.size())) return {};
            const auto& r = records[std::size_t(row - 1)];
            const MeasureTexts t = historyTexts(r.voltage, r.current, r.code);
            return col == 1 ? t.ground : col == 2 ? t.line : t.current;
        };
        QCOMPARE(bench.run({"read", "-o", "h.txt"}), 0); // searches for the port first
        for (const char* name : {"h.csv", "h.xls", "h.xlsx"})
            QCOMPARE(bench.run({"read", "--port", "COM5", "-o", name}), 0);
        QCOMPARE(bench.file("h.txt"), historyTextFile(cell));
        SheetCells sheet(100, std::vector<SheetCell>(4));
        for (int i = 0; i < 400; ++i)
            sheet[std::size_t(i / 4)][std::size_t(i % 4)] = {cell(i / 4, i % 4), true};
        QCOMPARE(bench.file("h.xls"), biff8Workbook(sheet));
        QVERIFY(bench.file("h.xlsx").startsWith("PK\x03\x04"));
        const QList<QByteArray> rows = bench.file("h.csv").split('\n');
        QCOMPARE(rows.size(), 27); // header, 25 records, nothing after the last line end
        QCOMPARE(rows[0], "no,ground_kv,line_kv,current_a");
        for (int r = 1; r <= 25; ++r) // the window's numbers, without their units
            QCOMPARE(QString(rows[r]), QStringList({cell(r, 0), cell(r, 1).chopped(2),
                                                    cell(r, 2).chopped(2), cell(r, 3).chopped(1)})
                                           .join(','));

        QCOMPARE(bench.run({"watch", "--count", "3", "--interval", "0.2", "--csv", "w.csv"}), 0);
        const QList<QByteArray> lines = bench.cli.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        sim::Instrument live({25, 7, {}, {}, {}, {}}); // the live values it sends, in order
        QDateTime previous;
        for (const QByteArray& line : lines) {
            // Requests go out on the interval, never early; late only by what a busy machine adds.
            const QDateTime sent =
                QDateTime::fromString(line.left(line.indexOf(' ')), Qt::ISODateWithMs);
            QVERIFY(!previous.isValid() ||
                    (previous.msecsTo(sent) >= 199 && previous.msecsTo(sent) < 2000));
            previous = sent;
            const sim::LiveValue v = live.peekLive();
            live.receive(QByteArray::fromHex("A10406000002"));
            const MeasureTexts t = realtimeTexts(v.voltage, v.current, v.code);
            const QStringList parts = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
            QVERIFY2(QDateTime::fromString(parts.value(0), Qt::ISODateWithMs).isValid(), line);
            QCOMPARE(parts.mid(1).join(' '), t.ground + ' ' + t.line + ' ' + t.current +
                                                 QString::asprintf(" volt=%d current=%d code=%d",
                                                                   v.voltage, v.current, v.code));
        }
        QCOMPARE(bench.file("w.csv").count('\n'), 4);
    }

    void failures()
    {
        const Bench none;
        QVERIFY(none.run({"find"}) == 1 && none.cli.readAllStandardError().contains("COM1"));
        QVERIFY(none.run({"read", "-o", "x.csv"}) == 1 && none.file("x.csv") == "(missing)");
        QCOMPARE(none.run({"watch", "--port", "COM2"}), 3);
        QCOMPARE(none.run({"watch", "--count", "0"}), 2);

        const Bench refusing({"--com", "6", "--fault", "f1@block"});
        const QStringList read{"read", "--port", "COM6", "-o"};
        QFile earlier(refusing.dir.filePath("h.csv"));
        QVERIFY(earlier.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY(earlier.write("old\n") == 4 && refusing.run(read + QStringList{"h.csv"}) == 1);
        QCOMPARE(refusing.file("h.csv"), "old\n"); // a download that breaks off writes nothing
        QVERIFY(QDir(refusing.dir.path()).mkpath("d.txt/inside") &&
                refusing.run(read + QStringList{"d.txt"}) == 3);
        QVERIFY(QFileInfo(refusing.dir.filePath("d.txt/inside")).isDir());
        QCOMPARE(refusing.run(read + QStringList{"missing/h.txt"}), 3);
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
