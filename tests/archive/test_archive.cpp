// The archive over a real SQLite file: schema versions, what is filed reads back, a writer
// killed mid-download, a database that cannot be written, and the exports read back.

#include "archive/archive_store.h"
#include "archive/database.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#endif

using namespace tesvaron;
using namespace tesvaron::archive;

namespace {

Measurement measured(float g, float l, float a, const char* gt, const char* lt, const char* at,
                     bool over = false)
{
    return {g, l, a, over, {gt, lt, at}};
}

QDateTime shanghai(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

// What the window announces for one download cut off after its first block.
void fileDownload(Store& store, int blocks, bool end)
{
    store.downloadStarted({"COM3", "/dev/ttyUSB0"}, shanghai("2026-12-07T10:15:02.123+08:00"));
    store.downloadTotal(25);
    for (int b = 0; b < blocks; ++b) {
        QList<HistoryRow> rows;
        for (int i = 1; i <= 10; ++i) {
            const int no = b * 10 + i;
            rows.append({no, measured(no / 10.0f, 0.3f, no * 0.01f, "x", "0.3kV", "y")});
        }
        store.downloadRows(rows);
    }
    if (end) store.downloadEnded({true, 25, blocks * 10, shanghai("2026-12-07T10:15:09+08:00")});
}

// A download as one line: start, end, port, device, reported, read, whether complete.
QString facts(const std::optional<DownloadInfo>& d)
{
    return !d ? "none"
              : QStringList{d->started.toString(Qt::ISODateWithMs),
                            d->ended.toString(Qt::ISODateWithMs),
                            d->port,
                            d->device,
                            QString::number(d->reported),
                            QString::number(d->rowsRead),
                            d->complete ? "complete" : "cut"}
                    .join(' ');
}

int userVersion(const QString& path)
{
    QString error;
    auto db = Database::openLocal(path, &error);
    return db ? db->version() : -1;
}

QString python(const QString& script, const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const char* name) { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        // Every local time below is China's, +08:00 (a form the C runtime on Windows reads too).
        qputenv("TZ", "CST-8");
        tzset();
    }

    void migratesFromEmptyAndFromVersionOne()
    {
        QCOMPARE(userVersion(path("empty.sqlite")), SchemaVersion);

        const QString old = path("v1.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v1");
            db.setDatabaseName(old);
            QVERIFY(db.open());
            QSqlQuery q(db);
            // The first schema, as version 1 of the program left it, with one download and one
            // session.
            QFile v1(qEnvironmentVariable("TESVARON_TEST_DATA") + "/version-one.sql");
            QVERIFY(v1.open(QIODevice::ReadOnly));
            for (const QString& sql : QString(v1.readAll()).split(";\n", Qt::SkipEmptyParts))
                QVERIFY2(q.exec(sql), qPrintable(sql));
        }
        QSqlDatabase::removeDatabase("v1");
        Store store({old, {}});
        QVERIFY(store.isAvailable());
        QCOMPARE(userVersion(old), 2);
        QCOMPARE(facts(store.download(7)),
                 "2026-03-01T09:02:03.004+08:00 "
                 "2026-03-01T09:02:09.000+08:00 COM2 /dev/ttyUSB1 12 1 complete");
        const QList<HistoryRow> rows = store.records(7);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].value.groundKv, 32.7f);
        QCOMPARE(rows[0].value.texts.current, "25.0A");
        QCOMPARE(store.samples(3).value(0).value.currentA, 1.23f);
    }

    void downloadAndSessionReadBack()
    {
        Store store({path("round.sqlite"), {}});
        QSignalSpy filed(&store, &Store::downloadFiled);
        fileDownload(store, 3, true);
        QCOMPARE(filed.size(), 1);
        QCOMPARE(filed[0][1].toString(), QDir::toNativeSeparators(path("round.sqlite")));
        QVERIFY(store.lastDownloadFiled());

        store.instrumentFound({"COM3", "/dev/ttyUSB0"});
        const RealtimeSample samples[] = {
            {shanghai("2026-12-07T10:16:00.000+08:00"),
             measured(12.5f, 35.f, 12.3f, "13kV", "35kV", "12.3A")},
            {shanghai("2026-12-07T10:16:01.500+08:00"),
             measured(600.f, 0.f, 0.f, "NO--", "NO--", "NO--", true)},
            {shanghai("2026-12-07T10:16:03.000+08:00"),
             measured(0.f, 0.f, 1.23f, "0.0kV", "0.0kV", "1.23A")},
        };
        for (const RealtimeSample& s : samples)
            store.realtimeReading(s);
        const qint64 session = store.currentSession();
        store.instrumentLost();

        QCOMPARE(facts(store.lastDownload()),
                 "2026-12-07T10:15:02.123+08:00 "
                 "2026-12-07T10:15:09.000+08:00 COM3 /dev/ttyUSB0 25 30 complete");
        const QList<HistoryRow> rows = store.records(store.lastDownload()->id);
        QVERIFY(rows.size() == 30 && rows[29].no == 30 && rows[29].value.texts.line == "0.3kV");
        QVERIFY(qFuzzyCompare(rows[29].value.groundKv, 3.0f) &&
                qFuzzyCompare(rows[29].value.currentA, 0.3f));

        const auto s = store.session(session);
        QVERIFY(s.has_value() && s->ended.isValid() && s->samples == 3);
        const QList<RealtimeSample> back = store.samples(session);
        QCOMPARE(back.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const Measurement &was = samples[i].value, &is = back[i].value;
            QVERIFY(back[i].at == samples[i].at && back[i].at.offsetFromUtc() == 8 * 3600);
            QVERIFY(is.groundKv == was.groundKv && is.overRange == was.overRange &&
                    is.texts.ground == was.texts.ground);
        }
        QCOMPARE(back[2].value.currentA, 1.23f);
        QCOMPARE(store.samples(session, samples[1].at).size(), 2);

        // Date filter by local day, newest first; delete.
        fileDownload(store, 1, true);
        QCOMPARE(store.downloads().size(), 2);
        QCOMPARE(store.downloads({QDate(2026, 12, 7), QDate(2026, 12, 7)}).size(), 2);
        QCOMPARE(store.downloads({QDate(2026, 12, 8), {}}).size(), 0);
        QCOMPARE(store.downloads({{}, QDate(2026, 12, 6)}).size(), 0);
        const qint64 newest = store.downloads().first().id;
        QVERIFY(store.removeDownload(newest));
        QCOMPARE(store.downloads().size(), 1);
        QVERIFY(store.records(newest).isEmpty());
    }

    // A child files two blocks of a download and is killed with SIGKILL before the third.
    void killedMidDownloadKeepsItsRows()
    {
        const QString db = path("killed.sqlite");
        QProcess child;
        child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--file-and-wait"), db});
        QVERIFY(child.waitForReadyRead(30000));
        QCOMPARE(child.readLine().trimmed(), "filed");
        child.kill(); // SIGKILL, or TerminateProcess on Windows
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        Store store({db, {}});
        QCOMPARE(facts(store.lastDownload()),
                 "2026-12-07T10:15:02.123+08:00  COM3 /dev/ttyUSB0 25 20 cut");
        QCOMPARE(store.records(store.lastDownload()->id).size(), 20);
    }

    void unwritableDatabaseSaysSoOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("folder is a file") << "file";
        QTest::newRow("not a database") << "corrupt";
        if (QSysInfo::kernelType() != "winnt") // a file size limit stands in for a full disk
            QTest::newRow("disk full mid-run") << "full";
    }
    void unwritableDatabaseSaysSoOnce()
    {
        QFETCH(QString, how);
        QString db = path("bad.sqlite");
        QFile::remove(db);
        if (how == "file") {
            QFile blocker(path("blocker"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            db = path("blocker") + "/archive.sqlite";
        } else if (how == "corrupt") {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        }
        Store store({db, {}});
        QSignalSpy told(&store, &Store::unavailable);
#ifndef Q_OS_WIN
        rlimit saved{};
        if (how == "full") {
            QVERIFY(store.isAvailable());
            // The file may not grow: every write past its size fails as on a full disk.
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit tight = saved;
            tight.rlim_cur = rlim_t(QFileInfo(db).size());
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &tight) == 0);
        }
#endif
        fileDownload(store, 10, true);
        store.instrumentFound({"COM1", {}});
        for (int i = 0; i < 100; ++i)
            store.realtimeReading({QDateTime::currentDateTime(), measured(1, 1, 1, "a", "b", "c")});
        fileDownload(store, 2, true);
#ifndef Q_OS_WIN
        if (how == "full") ::setrlimit(RLIMIT_FSIZE, &saved);
#endif
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0][0].toString().contains(QStringLiteral("档案无法写入")));
        QVERIFY(!store.lastDownloadFiled());
        QVERIFY(!store.isAvailable());
    }

    void exportsReadBack()
    {
        Store store({path("export.sqlite"), {}});
        store.downloadStarted({"COM3", {}}, shanghai("2026-12-07T10:15:02.123+08:00"));
        store.downloadRows({{1, measured(32.7f, 110, 25, "33kV", "110kV", "25.0A")},
                            {2, measured(0, 0, 1.23f, "0.0kV", "0.0kV", "1.23A")}});
        store.downloadEnded({true, 2, 2, shanghai("2026-12-07T10:15:04+08:00")});
        QVERIFY(store.lastDownload().has_value());
        const DownloadInfo info = *store.lastDownload();
        const QList<HistoryRow> rows = store.records(info.id);
        QCOMPARE(downloadCsv(info, rows),
                 QByteArray("\xEF\xBB\xBFNO.,对地电压 (kV),线电压 (kV),电流 (A),下载时间,端口\r\n"
                            "1,32.7,110,25,2026-12-07T10:15:02.123+08:00,COM3\r\n"
                            "2,0,0,1.23,2026-12-07T10:15:02.123+08:00,COM3\r\n"));
        const SessionInfo session{1, shanghai("2026-12-07T10:16:00+08:00"), {}, "COM3", {}, 2};
        QCOMPARE(sessionCsv(session, {{shanghai("2026-12-07T10:16:00.000+08:00"),
                                       measured(12.5f, 35, 12.3f, "13kV", "35kV", "12.3A")},
                                      {shanghai("2026-12-07T10:16:01.500+08:00"),
                                       measured(600, 0, 0, "NO--", "NO--", "NO--", true)}}),
                 QByteArray("\xEF\xBB\xBF时间,对地电压 (kV),线电压 (kV),电流 (A),超量程,端口\r\n"
                            "2026-12-07T10:16:00.000+08:00,12.5,35,12.3,0,COM3\r\n"
                            "2026-12-07T10:16:01.500+08:00,600,,,1,COM3\r\n"));

        QString error;
        const QString xlsx = path("d.xlsx");
        QVERIFY2(exportDownload(xlsx, info, rows, &error), qPrintable(error));
        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no python3 for us");
        QCOMPARE(python("import openpyxl,sys\n"
                        "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                        "for r in ws.iter_rows(values_only=True): print(repr(r))",
                        {xlsx}),
                 "('NO.', '对地电压 (kV)', '线电压 (kV)', '电流 (A)', '下载时间', '端口')\n"
                 "(1, 32.7, 110, 25, '2026-12-07T10:15:02.123+08:00', 'COM3')\n"
                 "(2, 0, 0, 1.23, '2026-12-07T10:15:02.123+08:00', 'COM3')");
        QVERIFY(!exportDownload(path("no/such/folder/d.csv"), info, rows, &error));
    }
};

// The child of killedMidDownloadKeepsItsRows: files and then waits to be killed.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--file-and-wait") {
        Store store({QString::fromLocal8Bit(argv[2]), {}});
        fileDownload(store, 2, false);
        std::fputs("filed\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }
    TestArchive test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_archive.moc"
