// The archive's copy on a real PostgreSQL server, started here on a private socket: what is
// filed arrives, the server going away queues it locally, and coming back sends it, none twice.

#include "archive/archive_store.h"
#include "archive/database.h"
#include "archive/server_sync.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

using namespace tesvaron;
using namespace tesvaron::archive;

namespace {

QString postgresBin()
{
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return versions.isEmpty() ? QString()
                              : QStringLiteral("/usr/lib/postgresql/%1/bin").arg(versions.last());
}

Measurement measured(float g)
{
    return {g, 10.f, 1.5f, false, {"g", "10kV", "1.5A"}};
}

} // namespace

class TestArchiveServer : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString data, url;

    // The server runs as an ordinary user: PostgreSQL refuses root.
    bool pg(const QStringList& args)
    {
        QStringList command = QStringList{postgresBin() + "/" + args.first()} + args.mid(1);
        if (::getuid() == 0) command = QStringList{"-u", "nobody", "--"} + command;
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(dir.path());
        p.start(::getuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command);
        const bool ok = p.waitForFinished(120000) && p.exitCode() == 0;
        if (!ok) qWarning().noquote() << p.readAll();
        return ok;
    }
    bool start()
    {
        return pg({"pg_ctl", "-D", data, "-w", "-l", dir.filePath("log"), "-o",
                   "-k " + dir.path() + " -c listen_addresses= -p 5439", "start"});
    }
    bool stop() { return pg({"pg_ctl", "-D", data, "-w", "-m", "fast", "stop"}); }

    int serverCount(const char* sql)
    {
        QString error;
        auto db = Database::openServer(url, 5, &error);
        if (!db) return -1;
        QSqlQuery q(db->connection());
        return q.exec(QString::fromLatin1(sql)) && q.next() ? q.value(0).toInt() : -2;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!postgresBin().isEmpty(), "PostgreSQL is not installed (scripts/setup.sh)");
        if (::getuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            QVERIFY(nobody && ::chown(qPrintable(dir.path()), nobody->pw_uid, nobody->pw_gid) == 0);
        }
        data = dir.filePath("data");
        QVERIFY(pg({"initdb", "-D", data, "-A", "trust", "-U", "tesvaron", "-E", "UTF8"}));
        QVERIFY(start());
        url = "postgresql://tesvaron@localhost/postgres?host=" + dir.path() + "&port=5439";
    }
    void cleanupTestCase() { stop(); }

    void queuesWhileAwayAndSendsOnceWhenBack()
    {
        const QString local = dir.filePath("local.sqlite");
        ServerSync sync(local, url);
        {
            Store store({local, {}});
            store.downloadStarted({"COM3", "/dev/ttyUSB0"}, QDateTime::currentDateTime());
            store.downloadTotal(12);
            QList<HistoryRow> rows;
            for (int no = 1; no <= 10; ++no)
                rows.append({no, measured(no)});
            store.downloadRows(rows);
            store.instrumentFound({"COM3", {}});
            for (int i = 0; i < 700; ++i)
                store.realtimeReading({QDateTime::currentDateTime(), measured(i)});
        }
        ServerSync::Result first = sync.push();
        QVERIFY2(first.reached, qPrintable(first.error));
        QCOMPARE(std::pair(first.rows, first.waiting), std::pair(710, 0));

        // Away: the rest of the download and more readings wait here.
        QVERIFY(stop());
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "direct");
        db.setDatabaseName(local);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("INSERT INTO records (download_id, no, ground_kv, line_kv, current_a,"
                       " ground_text, line_text, current_text) SELECT id, 11, 1, 1, 1, 'a', 'b',"
                       " 'c' FROM downloads"));
        QVERIFY(q.exec("UPDATE downloads SET complete = 1, rows_read = 11, pending = pending + 1"));
        const ServerSync::Result away = sync.push();
        QVERIFY(!away.reached && !away.error.isEmpty());
        QCOMPARE(away.waiting, 1);

        QVERIFY(start());
        const ServerSync::Result back = sync.push();
        QVERIFY2(back.reached, qPrintable(back.error));
        QCOMPARE(std::pair(back.rows, back.waiting), std::pair(1, 0));
        qInfo("queue: %d rows first push, %d waiting while away, %d sent when back", first.rows,
              away.waiting, back.rows);

        // A program killed after the server took the rows but before they were marked here
        // offers them again: the server keeps one of each.
        QVERIFY(q.exec("UPDATE records SET sent = 0") && q.exec("UPDATE samples SET sent = 0"));
        QVERIFY(q.exec("UPDATE downloads SET pending = 1"));
        QCOMPARE(sync.push().waiting, 0);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("direct");
        sync.disconnect();

        QCOMPARE(serverCount("SELECT count(*) FROM downloads"), 1);
        QCOMPARE(serverCount("SELECT count(*) FROM records"), 11);
        QCOMPARE(serverCount("SELECT count(*) FROM samples"), 700);
        QCOMPARE(serverCount("SELECT count(DISTINCT seq) FROM samples"), 700);
        QCOMPARE(serverCount("SELECT complete * 100 + rows_read FROM downloads"), 111);
        QCOMPARE(serverCount("SELECT version FROM schema_version"), SchemaVersion);
    }

    // The store configured with the server sends as it files, from its own thread.
    void storeSendsAsItFiles()
    {
        const int before = serverCount("SELECT count(*) FROM samples");
        Store store({dir.filePath("live.sqlite"), url});
        store.instrumentFound({"COM5", {}});
        for (int i = 0; i < 5; ++i)
            store.realtimeReading({QDateTime::currentDateTime(), measured(i)});
        QTRY_COMPARE_WITH_TIMEOUT(serverCount("SELECT count(*) FROM samples"), before + 5, 30000);
        QVERIFY(store.whereFiled().endsWith("/postgres"));
    }
};

QTEST_GUILESS_MAIN(TestArchiveServer)
#include "test_archive_server.moc"
