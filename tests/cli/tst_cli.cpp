// tesvaron-cli: its decisions from tables, then the program against tesvaron-sim over a pty.

#include "cli/cli_core.h"
#include "output/text_files.h"
#include "sim/instrument.h"
#include "tests/support/cli_bench.h"
#include "tests/support/data.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimeZone>
#include <csignal>
#include <unistd.h>

using namespace tesvaron;
using namespace tesvaron::cli;

using tesvaron::test::Bench;

class TstCli : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        QTest::addColumn<QString>("parsed");
        for (const QStringList& r : tesvaron::test::tableRows("arguments"))
            QTest::newRow(qPrintable(r[0])) << r[1];
    }
    void arguments()
    {
        const Options o = parseArguments(QString(QTest::currentDataTag()).split(' '));
        QString fields; // QDebug's, each field followed by a space
        QDebug(&fields).noquote() << int(o.command) << o.port.com << o.port.device << o.output
                                  << o.json << o.interval.count() << o.count << o.duration.count()
                                  << o.csv;
        QTEST(o.error.isEmpty() ? fields.chopped(1) : "error", "parsed");
    }

    void layouts()
    {
        QCOMPARE(plainNumber("NO--") + plainNumber("1.50A") + plainNumber("9.9kV"), "1.509.9");
        QCOMPARE(progressBar(7, 25) + progressBar(0, 0), "[########----------------------]  7/25"
                                                         "[##############################]  0/0");
        const QDateTime at(QDate(2026, 12, 7), QTime(10, 15, 2, 123), QTimeZone(-19800));
        const auto hex = [](const char* text) { return QByteArray::fromHex(text); };
        ReplyFrameBytes frame{};
        // A header with length 0, then a probe reply, then the realtime reply asked for.
        QCOMPARE(findReply(hex("B100B1040555AAFEB10606007D0F0173"), 6, frame), ReplyCheck::Ok);
        QCOMPARE(
            watchLine(at, liveReading(frame)),
            "2026-12-07T10:15:02.123-05:30  13kV   35kV   1.5A     volt=125 current=15 code=1");
        const LiveReading normal = liveReading(frame);
        QCOMPARE(watchJsonLine(at, &normal, "ok"),
                 R"({"code":1,"current_a":1.5,"current_raw":15,"ground_kv":13,"line_kv":35,)"
                 R"("over_range":false,"status":"ok","time":"2026-12-07T10:15:02.123-05:30",)"
                 R"("volt_raw":125})"
                 "\n");
        QCOMPARE(findReply(hex("B1060617700F0169"), 6, frame), ReplyCheck::Ok); // 600.0 kV
        const LiveReading over = liveReading(frame);
        QCOMPARE(watchJsonLine(at, &over, "ok"),
                 R"({"code":1,"current_a":null,"current_raw":15,"ground_kv":null,"line_kv":null,)"
                 R"("over_range":true,"status":"ok","time":"2026-12-07T10:15:02.123-05:30",)"
                 R"("volt_raw":6000})"
                 "\n");
        QCOMPARE(findReply(hex("B10606007D0F0174"), 6, frame), ReplyCheck::BadChecksum);
        QCOMPARE(findReply(QByteArray(3000, char(0xB1)) + hex("B10606007D0F0173"), 6, frame),
                 ReplyCheck::Ok); // a flood of headers in front
    }

    // Whole conversations with the program: what it prints, exits with and writes, per case.
    void transcripts_data() { test::addTranscripts("transcripts.txt"); }
    void transcripts()
    {
        QFETCH(QStringList, steps);
        Bench bench(steps.filter(QRegularExpression("^sim "))
                        .value(0)
                        .mid(4)
                        .split(' ', Qt::SkipEmptyParts));
        const QString wrong = bench.replay(steps);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // The history files as the window writes them from the instrument's records, and how a watch
    // ends without --count.
    void readAndWatch()
    {
        const Bench bench({"--com", "5", "--records", "25", "--seed", "7"});
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
        for (const char* name : {"h.xls", "h.xlsx"})
            QCOMPARE(bench.run({"read", "--port", "COM5", "-o", name}), 0);
        QCOMPARE(bench.file("h.txt"), historyTextFile(cell));
        SheetCells sheet(100, std::vector<SheetCell>(4));
        for (int i = 0; i < 400; ++i)
            sheet[std::size_t(i / 4)][std::size_t(i % 4)] = {cell(i / 4, i % 4), true};
        QCOMPARE(bench.file("h.xls"), biff8Workbook(sheet));
        QVERIFY(bench.file("h.xlsx").startsWith("PK\x03\x04"));

        // --duration ends the polls by itself; at 0.2 s a 1 s watch polls at most 6 times, and
        // waits between them: it cannot end before its last poll falls due, 0.8 s in or later.
        QElapsedTimer took;
        took.start();
        QCOMPARE(bench.run({"watch", "--duration", "1s", "--interval", "0.2", "--csv", "-"}), 0);
        const qsizetype polls = bench.cli.readAllStandardOutput().count('\n') - 1;
        QVERIFY2(polls >= 2 && polls <= 6 && took.elapsed() >= 800, QByteArray::number(polls));
        // Ctrl-C ends a watch without end as a success, after what it printed.
        bench.cli.start(TESVARON_CLI_BINARY, {"watch", "--interval", "0.2"});
        QVERIFY(bench.cli.waitForReadyRead(10000) && ::kill(bench.cli.processId(), SIGINT) == 0);
        QVERIFY(bench.cli.waitForFinished(10000) && bench.cli.exitCode() == 0);
        // Ctrl-C while a request waits for its reply is said, and is no success.
        Bench silent({"--com", "6", "--fault", "silence@count", "-v"});
        silent.cli.start(TESVARON_CLI_BINARY, {"read", "--port", "COM6", "--json"});
        QVERIFY(silent.sim.waitForReadyRead(10000) && ::kill(silent.cli.processId(), SIGINT) == 0);
        QVERIFY(silent.cli.waitForFinished(10000) && silent.cli.exitCode() == 1);
        QCOMPARE(silent.cli.readAllStandardError(), "tesvaron-cli: 已中断\n");
        // The version is the build's; everything else the program says is in the transcripts.
        QVERIFY(bench.run({"--version"}) == 0 && bench.cli.readAll().startsWith("tesvaron-cli "));
    }

    // A port the user may not open: the search names it with the hint --port gives.
    void refusedPort()
    {
        const Bench bench({"--com", "7"});
        const QString device = QFileInfo(bench.dir.filePath("COM7")).symLinkTarget();
        QVERIFY(QFile::setPermissions(device, {}));
        const bool root = ::geteuid() == 0;         // root opens anything: run as nobody instead
        for (int com = 0; root && com <= 16; ++com) // links count in the user's own folder only
            QVERIFY(::lchown(QFile::encodeName(com ? bench.dir.filePath(QString("COM%1").arg(com))
                                                   : bench.dir.path()),
                             65534, 65534) == 0);
        const auto run = [&](const QStringList& args) {
            bench.cli.start(root ? "setpriv" : TESVARON_CLI_BINARY,
                            (root ? QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                                TESVARON_CLI_BINARY}
                                  : QStringList{}) +
                                args);
            bench.cli.waitForFinished(30000);
            return std::pair{bench.cli.exitCode(), QString(bench.cli.readAllStandardOutput() +
                                                           bench.cli.readAllStandardError())};
        };
        const auto [portsCode, ports] = run({"ports", "--json"});
        QVERIFY2(portsCode == 0 && ports.contains(R"("status":"no_permission")"),
                 qPrintable(ports));
        const auto [portCode, portSaid] = run({"find", "--port", "COM7"});
        QVERIFY2(portCode == 3 && portSaid.contains("dialout"), qPrintable(portSaid));
        const auto [findCode, findSaid] = run({"find"});
        QCOMPARE(findCode, 3);
        QVERIFY2(findSaid.contains(portSaid), qPrintable(findSaid));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
