// tesvaron-cli: its decisions from tables, then the program against tesvaron-sim over a pty.

#include "cli/cli_core.h"
#include "output/text_files.h"
#include "sim/instrument.h"
#include "tests/support/cli_bench.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
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
        // Named by the command line: command, COM, device, output, json, ms, count, duration ms,
        // csv.
        QTest::addColumn<QString>("parsed");
        const auto row = [](const char* line, const char* parsed) {
            QTest::newRow(line) << QString(parsed);
        };
        row("read --port com3 -o a.csv", "3 3  a.csv false 1500 0 0 ");
        row("find --port ttyACM0 --json", "2 0 /dev/ttyACM0  true 1500 0 0 ");
        row("read --json", "3 0   true 1500 0 0 ");
        row("watch --port /dev/ttyUSB0 --interval 0.5 --count=3 --csv w.csv",
            "4 0 /dev/ttyUSB0  false 500 3 0 w.csv");
        row("watch --duration 30s --csv -", "4 0   false 1500 0 30000 -");
        row("watch --duration=2h --json", "4 0   true 1500 0 7200000 ");
        row("watch --duration 1.5M", "4 0   false 1500 0 90000 ");
        row("watch --duration 45", "4 0   false 1500 0 45000 ");
        for (const char* bad :
             {"read", "read -o a.doc", "find --port COM17", "ports --port COM1",
              "watch --interval 0", "watch --count x", "find now", "scan", "watch --duration 10x",
              "watch --duration 0s", "watch --duration -1m", "read -o - --json",
              "watch --json --csv -", "ports --json=1", "find --port=", "read -o"})
            row(bad, "error");
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

    void findReadWatch()
    {
        const Bench bench({"--com", "5", "--records", "25", "--seed", "7"});
        QVERIFY(bench.run({"find"}) == 0 &&
                bench.cli.readAllStandardOutput().startsWith("COM5 /dev/pts/"));
        const auto json = [&] {
            return QJsonDocument::fromJson(bench.cli.readAllStandardOutput());
        };
        QCOMPARE(bench.run({"find", "--json"}), 0);
        const QJsonObject found = json().object();
        QVERIFY(found["com"] == 5 && found["device"].toString().startsWith("/dev/pts/"));
        QCOMPARE(bench.run({"ports", "--json"}), 0);
        const QJsonArray ports = json().array();
        QVERIFY(ports.size() == 16 && ports[4]["status"] == "ok" &&
                ports[0]["status"] == "not_found");

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
        QCOMPARE(bench.run({"read", "--port", "COM5", "--json"}), 0);
        const QJsonObject history = json().object();
        QVERIFY(history["total"] == 25 && history["reported"] == 25);
        for (int r = 1; r <= 25; ++r) { // the window's numbers, without their units
            const QStringList numbers{cell(r, 0), cell(r, 1).chopped(2), cell(r, 2).chopped(2),
                                      cell(r, 3).chopped(1)};
            QCOMPARE(QString(rows[r]), numbers.join(','));
            const QJsonObject record = history["records"][r - 1].toObject();
            qsizetype k = 0;
            for (const char* key : {"no", "ground_kv", "line_kv", "current_a"})
                QCOMPARE(record[key].toDouble(), numbers[k++].toDouble());
        }

        // One line per poll, in the order the polls went out, with the values the instrument
        // sends in turn; how far apart depends on the machine's load, so only the order counts.
        sim::Instrument live({25, 7, {}, {}, {}, {}});
        const auto next = [&live] {
            const sim::LiveValue v = live.peekLive();
            live.receive(QByteArray::fromHex("A10406000002"));
            return LiveReading{realtimeTexts(v.voltage, v.current, v.code), v.voltage, v.current,
                               v.code};
        };
        QCOMPARE(bench.run({"watch", "--count", "3", "--interval", "0.2", "--csv", "w.csv"}), 0);
        const QList<QByteArray> lines = bench.cli.readAllStandardOutput().trimmed().split('\n');
        QDateTime previous;
        for (const QByteArray& line : lines) {
            const QDateTime sent =
                QDateTime::fromString(line.left(line.indexOf(' ')), Qt::ISODateWithMs);
            QVERIFY2(sent.isValid() && (!previous.isValid() || previous < sent), line);
            QCOMPARE(QString(line), watchLine(previous = sent, next()));
        }
        QVERIFY(lines.size() == 3 && bench.file("w.csv").count('\n') == 4);
        // The same readings for scripts: JSON lines, and CSV on standard output for "-".
        QCOMPARE(bench.run({"watch", "--json", "--count", "2", "--interval", "0.2"}), 0);
        const QList<QByteArray> jsonLines = bench.cli.readAllStandardOutput().trimmed().split('\n');
        for (const QByteArray& line : jsonLines) {
            const LiveReading reading = next();
            const QDateTime sent = QDateTime::fromString(
                QJsonDocument::fromJson(line)["time"].toString(), Qt::ISODateWithMs);
            QCOMPARE(line + '\n', watchJsonLine(sent, &reading, "ok"));
        }
        QCOMPARE(jsonLines.size(), 2);
        QCOMPARE(bench.run({"watch", "--count", "2", "--interval", "0.2", "--csv", "-"}), 0);
        const QList<QByteArray> csvOut = bench.cli.readAllStandardOutput().split('\n');
        QVERIFY(csvOut.size() == 4 && csvOut[0] + '\n' == watchCsvHeader() &&
                csvOut[1].contains(",ok,") && !QFileInfo::exists(bench.dir.filePath("-")));
        // --duration ends the polls by itself; at 0.2 s a 1 s watch polls at most 6 times.
        QCOMPARE(bench.run({"watch", "--duration", "1s", "--interval", "0.2", "--csv", "-"}), 0);
        const qsizetype polls = bench.cli.readAllStandardOutput().count('\n') - 1;
        QVERIFY2(polls >= 2 && polls <= 6, QByteArray::number(polls));
        // Ctrl-C ends a watch without end as a success, after what it printed.
        bench.cli.start(TESVARON_CLI_BINARY, {"watch", "--interval", "0.2"});
        QVERIFY(bench.cli.waitForReadyRead(10000) && ::kill(bench.cli.processId(), SIGINT) == 0);
        QVERIFY(bench.cli.waitForFinished(10000) && bench.cli.exitCode() == 0);
    }

    void failures()
    {
        const Bench none;
        QVERIFY(none.run({"read", "-o", "x.csv"}) == 1 && none.file("x.csv") == "(missing)");
        QCOMPARE(none.run({"watch", "--port", "COM2"}), 3);
        QCOMPARE(none.run({"watch", "--count", "0"}), 2);
        QVERIFY(none.run({"--version"}) == 0 && none.cli.readAll().startsWith("tesvaron-cli ") &&
                none.run({"watch", "--help"}) == 0 && none.cli.readAll().contains("--interval"));
        // Messages follow the locale: Chinese under zh_*, English otherwise.
        for (const auto& [lang, said] :
             {std::pair{"zh_TW.UTF-8", "没有找到仪器：COM1 到 COM16 都没有应答"},
              {"de_DE.UTF-8", "no instrument found: none of COM1 to COM16 answered"}}) {
            QProcessEnvironment env = none.env;
            env.insert("LC_ALL", lang), none.cli.setProcessEnvironment(env);
            QVERIFY(none.run({"find"}) == 1);
            QCOMPARE(QString(none.cli.readAllStandardError()).trimmed(),
                     "tesvaron-cli: " + QString(said));
        }
        none.cli.setProcessEnvironment(none.env);

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

    // What a line that answers wrongly or not at all makes of find and watch: standard output
    // (without the times in front), then standard error (without the pty's name).
    void lineFaults()
    {
        const std::tuple<const char*, const char*, const char*> rows[] = {
            {"find", "badcs", "|tesvaron-cli: COM5 的回复校验错误\n"},
            {"find --json", "silence", "|tesvaron-cli: COM5 没有应答\n"},
            {"watch --count 2 --interval 0.2", "badcs",
             "通讯失败：校验错误\n通讯失败：校验错误\n|tesvaron-cli: COM5 没有应答\n"},
            {"watch --count 1 --json", "f1@realtime", R"("status":"refused",)"},
            {"watch --count 1 --csv -", "silence", ",no_reply,,,,,,\n|"}};
        static const QRegularExpression varying("^\\S+  | \\(/dev/pts/\\d+\\)",
                                                QRegularExpression::MultilineOption);
        for (const auto& [args, fault, said] : rows) {
            const Bench bench({"--com", "5", "--fault", fault});
            QCOMPARE(bench.run(QString(args).split(' ') + QStringList{"--port", "COM5"}), 1);
            QString all =
                bench.cli.readAllStandardOutput() + '|' + bench.cli.readAllStandardError();
            QVERIFY2(all.remove(varying).contains(QString(said)), qPrintable(all));
        }
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
            return std::pair{bench.cli.exitCode(), QString(bench.cli.readAllStandardError())};
        };
        const auto [portCode, portSaid] = run({"find", "--port", "COM7"});
        QVERIFY2(portCode == 3 && portSaid.contains("dialout"), qPrintable(portSaid));
        const auto [findCode, findSaid] = run({"find"});
        QCOMPARE(findCode, 3);
        QVERIFY2(findSaid.contains(portSaid), qPrintable(findSaid));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
