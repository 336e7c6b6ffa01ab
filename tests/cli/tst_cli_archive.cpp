// tesvaron-cli's archive commands against an archive the window's store filed.

#include "archive/archive_store.h"
#include "tests/support/cli_bench.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tesvaron;
using tesvaron::test::Bench;

class TstCliArchive : public QObject
{
    Q_OBJECT
    Bench bench{{"--com", "4"}};
    QString run(const QStringList& args, int* code)
    {
        *code = bench.run(args);
        return QString::fromUtf8(bench.cli.readAllStandardOutput() +
                                 bench.cli.readAllStandardError());
    }

private slots:
    void initTestCase()
    {
        // The window's archive in a data folder of our own, for this process and the program.
        qputenv("XDG_DATA_HOME", bench.dir.filePath("data").toUtf8());
        qputenv("TZ", "Asia/Shanghai");
        bench.env.insert("TZ", "Asia/Shanghai");
        bench.cli.setProcessEnvironment(bench.env);
        archive::Store store(archive::defaultLocation());
        const auto at = [](const char* t) { return QDateTime::fromString(t, Qt::ISODate); };
        store.downloadStarted({"COM5", "/dev/pts/3"}, at("2026-12-06T09:00:00+08:00"));
        store.downloadTotal(12);
        store.downloadRows({{1, {32.7f, 110, 25, false, {"33kV", "110kV", "25.0A"}}}});
        store.downloadStarted({"COM5", "/dev/pts/3"}, at("2026-12-07T10:15:02+08:00"));
        store.downloadTotal(2);
        store.downloadRows({{1, {9.9f, 35, 1.23f, false, {"9.9kV", "35kV", "1.23A"}}},
                            {2, {0, 0, 123, false, {"0.0kV", "0.0kV", "123A"}}}});
        store.downloadEnded({true, 2, 2, at("2026-12-07T10:15:05+08:00")});
    }

    void listAndExport_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output"); // what the output holds (a part of it)
        QTest::newRow("list")
            << QStringList{"archive", "list"} << 0
            << "   2  2026-12-07 10:15:02 +08:00  2026-12-07 10:15:05 +08:00  "
               "COM5   2/2  完整\n   1  2026-12-06 09:00:00 +08:00  -  COM5   1/12  "
               "中断\n";
        QTest::newRow("list from")
            << QStringList{"archive", "list", "--from", "2026-12-07"} << 0 << "   2  2026-12-07";
        QTest::newRow("export csv to stdout")
            << QStringList{"archive", "export", "last", "-o", "-"} << 0
            << "\uFEFFNO.,对地电压 (kV),线电压 (kV),电流 (A),下载时间,端口\r\n"
               "1,9.9,35,1.23,2026-12-07T10:15:02.000+08:00,COM5\r\n"
               "2,0,0,123,2026-12-07T10:15:02.000+08:00,COM5\r\n";
        QTest::newRow("no such download")
            << QStringList{"archive", "export", "9", "-o", "x.csv"} << 1 << "档案中没有下载 9";
        QTest::newRow("unknown type")
            << QStringList{"archive", "export", "1", "-o", "x.txt"} << 2 << "请用 .csv、.xlsx 或 -";
        QTest::newRow("no folder")
            << QStringList{"archive", "export", "1", "-o", "no/x.csv"} << 3 << "无法写入 no/x.csv";
        QTest::newRow("report needs operator")
            << QStringList{"archive", "report", "last", "-o", "r.pdf", "--line", "东线"} << 2
            << "报告需要：检测人";
        QTest::newRow("unknown command") << QStringList{"archive", "drop"} << 2 << "未知的 archive";
        QTest::newRow("bad date") << QStringList{"archive", "list", "--to=2026-13-01"} << 2
                                  << "--to 2026-13-01 无效";
        QTest::newRow("another command's option")
            << QStringList{"archive", "export", "last", "--from", "x"} << 2 << "不接受选项 --from";
    }
    void listAndExport()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        int got = -1;
        const QString text = run(args, &got);
        QVERIFY2(text.contains(output), qPrintable(text));
        QTEST(got, "code");
    }

    void jsonAndReport()
    {
        int code = -1;
        const QJsonArray list =
            QJsonDocument::fromJson(run({"archive", "list", "--json"}, &code).toUtf8()).array();
        const QJsonObject cut = list[1].toObject();
        QCOMPARE((QVariantList{code, int(list.size()), cut["started"].toString(),
                               cut["ended"].isNull(), cut["records"].toInt(),
                               cut["reported"].toInt(), cut["complete"].toBool()}),
                 (QVariantList{0, 2, "2026-12-06T09:00:00.000+08:00", true, 1, 12, false}));

        run({"archive", "report", "last", "-o", "r.pdf", "--line", "东线 12", "--operator", "张三",
             "--tower", "T-7"},
            &code);
        QCOMPARE(code, 0);
        QProcess text;
        text.start("pdftotext", {"-layout", bench.dir.filePath("r.pdf"), "-"});
        QVERIFY(text.waitForFinished(60000));
        const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
        for (const char* part :
             {"东线 12", "张三", "T-7", "9.9", "1.23", "COM5", "第 1 页 共 1 页"})
            QVERIFY2(pdf.contains(QString::fromUtf8(part)), part);
    }

    // read and watch file into the same archive; --no-archive leaves it as it was.
    void readAndWatchFile()
    {
        const QString device = QFileInfo(bench.dir.filePath("COM4")).symLinkTarget();
        const QStringList read{"read", "--port", "COM4", "-o", "h.csv"};
        const QStringList watch{"watch", "--port", "COM4", "--count", "3", "--interval", "0.1"};
        const QStringList quiet{"read", "--port", device, "-o", "d.csv", "--no-archive"};
        for (const QStringList& args : {read, watch, quiet, watch + QStringList{"--no-archive"}})
            QCOMPARE(bench.run(args), 0);
        QCOMPARE(bench.file("d.csv"), bench.file("h.csv")); // a device path reads the same
        {
            // While another program writes, read says why once and files nothing; list reads.
            const archive::Store window(archive::defaultLocation());
            QCOMPARE(bench.run(read), 0);
            QCOMPARE(QString(bench.cli.readAllStandardError()).count("正在写入档案"), 1);
            QCOMPARE(bench.run({"archive", "list"}), 0);
        }
        const archive::Store store(archive::defaultLocation());
        const auto filed = store.lastDownload();
        QVERIFY(filed && filed->complete && filed->port == "COM4" && store.downloads().size() == 3);
        QCOMPARE(store.records(filed->id).size(), bench.file("h.csv").count('\n') - 1);
        QVERIFY(store.sessions().size() == 1 && store.samples(store.sessions()[0].id).size() == 3);
    }
};

QTEST_GUILESS_MAIN(TstCliArchive)
#include "tst_cli_archive.moc"
