// tesvaron-cli's archive commands against an archive the window's store filed.

#include "archive/archive_store.h"
#include "tests/support/cli_bench.h"

#include <QTest>

using namespace tesvaron;
using tesvaron::test::Bench;

class TstCliArchive : public QObject
{
    Q_OBJECT
    Bench bench{{"--com", "4"}};

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
        store.downloadStarted({"COM2", "/dev/ttyUSB0"}, at("2026-12-05T08:00:00+08:00"));
        store.downloadTotal(0);
        store.downloadEnded({true, 0, 0, at("2026-12-05T08:00:01+08:00")});
    }

    // What the archive commands print and write, against the three downloads filed above.
    void transcripts_data() { test::addTranscripts("archive_transcripts.txt"); }
    void transcripts()
    {
        QFETCH(QStringList, steps);
        const QString wrong = bench.replay(steps);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    void report()
    {
        QCOMPARE(bench.run({"archive", "report", "last", "-o", "r.pdf", "--line", "东线 12",
                            "--operator", "张三", "--tower", "T-7"}),
                 0);
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
        QVERIFY(filed && filed->complete && filed->port == "COM4" && filed->reported == 25 &&
                store.downloads().size() == 4);
        QCOMPARE(store.records(filed->id).size(), bench.file("h.csv").count('\n') - 1);
        QVERIFY(store.sessions().size() == 1 && store.samples(store.sessions()[0].id).size() == 3);
    }
};

QTEST_GUILESS_MAIN(TstCliArchive)
#include "tst_cli_archive.moc"
