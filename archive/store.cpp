#include "archive/archive_store.h"

#include "archive/database.h"
#include "archive/server_sync.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <utility>

namespace tesvaron::archive {

namespace {

using namespace std::chrono_literals;
// How often a server that was away is tried again.
constexpr auto ServerRetry = 15s;

// Qt binds a null QString as NULL; the archive's texts are never NULL.
QVariant text(const QString& value)
{
    return value.isNull() ? QString(QLatin1String("")) : value;
}

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

// A local date range as UTC text bounds: [from 00:00, to + 1 day 00:00).
QString dateClause(const DateFilter& filter, QVariantList* values)
{
    QString clause;
    if (filter.from.isValid()) {
        clause += QStringLiteral(" AND started_utc >= ?");
        values->append(utcText(filter.from.startOfDay()));
    }
    if (filter.to.isValid()) {
        clause += QStringLiteral(" AND started_utc < ?");
        values->append(utcText(filter.to.addDays(1).startOfDay()));
    }
    return clause;
}

bool run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql)) return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

// A number as filed: NULL for a value the instrument did not give.
QVariant number(float value, bool given = true)
{
    return given ? QVariant(double(value)) : QVariant(QMetaType(QMetaType::Double));
}

Measurement measurementAt(const QSqlQuery& query, int first)
{
    Measurement m;
    m.groundKv = query.value(first).toFloat();
    m.lineKv = query.value(first + 1).toFloat();
    m.currentA = query.value(first + 2).toFloat();
    m.texts = {query.value(first + 3).toString(), query.value(first + 4).toString(),
               query.value(first + 5).toString()};
    return m;
}

constexpr const char* DownloadColumns =
    "SELECT id, started_utc, ended_utc, port, device, reported, complete, rows_read FROM downloads";
constexpr const char* SessionColumns =
    "SELECT id, started_utc, ended_utc, port, device,"
    " (SELECT count(*) FROM samples WHERE session_id = sessions.id) FROM sessions";

DownloadInfo downloadAt(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), fromUtcText(q.value(1)),
            fromUtcText(q.value(2)), q.value(3).toString(),
            q.value(4).toString(),   q.value(5).isNull() ? -1 : q.value(5).toInt(),
            q.value(6).toBool(),     q.value(7).toInt()};
}

SessionInfo sessionAt(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), fromUtcText(q.value(1)), fromUtcText(q.value(2)),
            q.value(3).toString(),   q.value(4).toString(),   q.value(5).toInt()};
}

} // namespace

QString dataFolder()
{
    // tesvaron-cli runs under its own name; the archive is the window's.
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QFileInfo(own).absolutePath() + QStringLiteral("/tesvaron");
}

Location defaultLocation()
{
    QString chosen = qEnvironmentVariable("TESVARON_ARCHIVE");
    if (chosen.isEmpty()) {
        const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                                 QStringLiteral("tesvaron"), QStringLiteral("tesvaron"));
        chosen = settings.value(QStringLiteral("archive/location")).toString();
    }
    Location location{dataFolder() + QStringLiteral("/archive.sqlite"), {}};
    if (chosen.startsWith(QLatin1String("postgres")))
        location.server = chosen;
    else if (!chosen.isEmpty())
        location.database = chosen;
    return location;
}

// Sends what is filed on to the server from a thread of its own, so that a slow or absent
// server never holds up the window: after every filing and, while the server is away, on a timer.
class Store::Sender : public QObject
{
public:
    Sender(const Location& location) : sync_(location.database, location.server)
    {
        moveToThread(&thread_);
        timer_.moveToThread(&thread_);
        timer_.setInterval(ServerRetry);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { push(); });
        QObject::connect(&thread_, &QThread::started, &timer_, qOverload<>(&QTimer::start));
        thread_.start();
    }
    ~Sender() override
    {
        QMetaObject::invokeMethod(
            this, [this] { timer_.stop(); }, Qt::BlockingQueuedConnection);
        QMetaObject::invokeMethod(
            this, [this] { sync_.disconnect(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    void poke()
    {
        if (queued_.exchange(true)) return;
        QMetaObject::invokeMethod(this, [this] {
            queued_ = false;
            push();
        });
    }

private:
    void push() { sync_.push(); }

    ServerSync sync_;
    QThread thread_;
    QTimer timer_;
    std::atomic<bool> queued_{false};
};

Store::Store(const Location& location, Access access, QObject* parent)
    : QObject(parent), location_(location)
{
    if (access == Access::Write) writer_ = std::make_unique<QLockFile>(location.database + ".lock");
    if (!claim()) return;
    db_ = Database::openLocal(location.database, &error_);
    if (location.server.isEmpty()) return;
    if (QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        sender_ = std::make_unique<Sender>(location);
        return;
    }
    // The Windows build has no PostgreSQL driver: the archive stays on this computer only.
    const ServerAddress address = parseServerAddress(location.server);
    serverRefused_ =
        QStringLiteral("本程序不能连接 PostgreSQL 服务器 %1/%2，测量结果只存入本机档案：%3")
            .arg(address.host, address.database, QDir::toNativeSeparators(location.database));
    location_.server.clear();
}

Store::~Store()
{
    if (session_) instrumentLost();
    sender_.reset();
}

bool Store::isAvailable() const
{
    return db_ != nullptr;
}

QString Store::lastError() const
{
    return error_;
}

QString Store::whereFiled() const
{
    if (!location_.server.isEmpty()) {
        const ServerAddress address = parseServerAddress(location_.server);
        return QStringLiteral("%1/%2").arg(address.host, address.database);
    }
    return QDir::toNativeSeparators(location_.database);
}

bool Store::lastDownloadFiled() const
{
    return downloadFiled_;
}

qint64 Store::currentDownload() const
{
    return download_;
}

qint64 Store::currentSession() const
{
    return session_;
}

void Store::reportUnavailable()
{
    if (!serverRefused_.isEmpty()) emit unavailable(std::exchange(serverRefused_, {}));
    if (!db_) fail(error_);
}

void Store::fail(const QString& what)
{
    error_ = what;
    db_.reset();
    download_ = 0;
    session_ = 0;
    if (told_) return;
    told_ = true;
    emit unavailable(QStringLiteral("档案无法写入，测量结果未存档：%1（%2）")
                         .arg(what, QDir::toNativeSeparators(location_.database)));
}

// A database that failed is tried again when a new download or session starts; the user hears
// of it only once.
// The writer's lock, taken at once or not at all.
bool Store::claim()
{
    if (!writer_ || writer_->isLocked()) return true;
    QDir().mkpath(QFileInfo(location_.database).absolutePath());
    // A lock nobody holds open is left by a program that ended; taking it over is safe, as the
    // system refuses to remove one that a running writer holds (flock, or its open handle on
    // Windows), whatever the process ID in it says.
    if (writer_->tryLock(0) || (writer_->removeStaleLockFile() && writer_->tryLock(0))) return true;
    qint64 pid = 0;
    QString host;
    QString program;
    writer_->getLockInfo(&pid, &host, &program);
    error_ = writer_->error() == QLockFile::LockFailedError
                 ? QStringLiteral("另一个程序（%1，PID %2）正在写入档案").arg(program).arg(pid)
                 : QStringLiteral("无法创建 %1")
                       .arg(QDir::toNativeSeparators(location_.database + QStringLiteral(".lock")));
    return false;
}

bool Store::writable()
{
    if (db_) return true;
    if (!claim()) {
        fail(error_);
        return false;
    }
    db_ = Database::openLocal(location_.database, &error_);
    if (!db_) fail(error_);
    return db_ != nullptr;
}

void Store::instrumentFound(const PortInfo& info)
{
    if (session_) instrumentLost();
    sessionPort_ = info;
    sessionSeq_ = 0;
    if (!writable()) return;
    QSqlQuery query(db_->connection());
    if (!db_->exec(
            query,
            QStringLiteral("INSERT INTO sessions (started_utc, port, device, uid)"
                           " VALUES (?, ?, ?, ?)"),
            {utcText(QDateTime::currentDateTime()), text(info.port), text(info.device), newUid()},
            &error_))
        return fail(error_);
    session_ = query.lastInsertId().toLongLong();
}

void Store::instrumentLost()
{
    if (!session_ || !db_) return;
    const qint64 id = session_;
    session_ = 0;
    if (!db_->exec(QStringLiteral("UPDATE sessions SET ended_utc = ?, pending = pending + 1"
                                  " WHERE id = ?"),
                   {utcText(QDateTime::currentDateTime()), id}, &error_))
        return fail(error_);
    if (sender_) sender_->poke();
}

void Store::realtimeReading(const RealtimeSample& sample)
{
    // A reading with no session around it (the window attached late): start one.
    if (!session_) instrumentFound(sessionPort_);
    if (!session_) return;
    const Measurement& m = sample.value;
    if (!db_->exec(
            QStringLiteral("INSERT INTO samples (session_id, seq, at_utc, ground_kv, line_kv,"
                           " current_a, over_range, ground_text, line_text, current_text)"
                           " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {session_, ++sessionSeq_, utcText(sample.at), number(m.groundKv),
             number(m.lineKv, !m.overRange), number(m.currentA, !m.overRange), int(m.overRange),
             text(m.texts.ground), text(m.texts.line), text(m.texts.current)},
            &error_))
        return fail(error_);
    emit sampleFiled(session_, sample);
    if (sender_) sender_->poke();
}

void Store::downloadStarted(const PortInfo& info, const QDateTime& at)
{
    download_ = 0;
    downloadFiled_ = false;
    if (!writable()) return;
    QSqlQuery query(db_->connection());
    if (!db_->exec(query,
                   QStringLiteral("INSERT INTO downloads (started_utc, port, device, uid)"
                                  " VALUES (?, ?, ?, ?)"),
                   {utcText(at), text(info.port), text(info.device), newUid()}, &error_))
        return fail(error_);
    download_ = query.lastInsertId().toLongLong();
    downloadFiled_ = true;
}

void Store::downloadTotal(int reported)
{
    if (!download_) return;
    if (!db_->exec(QStringLiteral("UPDATE downloads SET reported = ?, pending = pending + 1"
                                  " WHERE id = ?"),
                   {reported, download_}, &error_)) {
        downloadFiled_ = false;
        fail(error_);
    }
}

void Store::downloadRows(const QList<HistoryRow>& rows)
{
    if (!download_) return;
    QSqlDatabase& c = db_->connection();
    // One block, one commit: a block is in the archive whole or not at all.
    bool ok = c.transaction();
    for (const HistoryRow& row : rows) {
        const Measurement& m = row.value;
        ok = ok &&
             db_->exec(QStringLiteral("INSERT OR REPLACE INTO records (download_id, no,"
                                      " ground_kv, line_kv, current_a, ground_text,"
                                      " line_text, current_text)"
                                      " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                       {download_, row.no, number(m.groundKv), number(m.lineKv), number(m.currentA),
                        text(m.texts.ground), text(m.texts.line), text(m.texts.current)},
                       &error_);
    }
    ok = ok && db_->exec(QStringLiteral("UPDATE downloads SET rows_read = (SELECT count(*) FROM"
                                        " records WHERE download_id = ?), pending = pending + 1"
                                        " WHERE id = ?"),
                         {download_, download_}, &error_);
    if (ok && !c.commit()) {
        ok = false;
        error_ = c.lastError().text();
    }
    if (!ok) {
        c.rollback();
        downloadFiled_ = false;
        return fail(error_);
    }
    if (sender_) sender_->poke();
}

void Store::downloadEnded(const DownloadEnd& end)
{
    if (!download_) return;
    const qint64 id = download_;
    download_ = 0;
    if (!db_->exec(QStringLiteral("UPDATE downloads SET ended_utc = ?, complete = ?,"
                                  " pending = pending + 1 WHERE id = ?"),
                   {utcText(end.at.isValid() ? end.at : QDateTime::currentDateTime()),
                    int(end.complete), id},
                   &error_)) {
        downloadFiled_ = false;
        return fail(error_);
    }
    if (sender_) sender_->poke();
    emit downloadFiled(id, whereFiled());
}

namespace {

// Every row `sql` selects, each made by `at`; empty without a database or when the query fails.
template <typename At>
auto rowsOf(Database* db, const QString& sql, const QVariantList& values, At at)
{
    QList<decltype(at(std::declval<QSqlQuery&>()))> list;
    if (!db) return list;
    QSqlQuery q(db->connection());
    q.setForwardOnly(true);
    if (!run(q, sql, values)) return list;
    while (q.next())
        list.append(at(q));
    return list;
}

template <typename T> std::optional<T> first(const QList<T>& list)
{
    return list.isEmpty() ? std::nullopt : std::optional<T>(list.first());
}

const QString NewestFirst = QStringLiteral(" ORDER BY started_utc DESC, id DESC");

} // namespace

QList<DownloadInfo> Store::downloads(const DateFilter& filter) const
{
    QVariantList values;
    const QString clause = dateClause(filter, &values);
    return rowsOf(db_.get(),
                  QLatin1String(DownloadColumns) + QStringLiteral(" WHERE 1=1") + clause +
                      NewestFirst,
                  values, downloadAt);
}

std::optional<DownloadInfo> Store::download(qint64 id) const
{
    return first(rowsOf(db_.get(), QLatin1String(DownloadColumns) + QStringLiteral(" WHERE id = ?"),
                        {id}, downloadAt));
}

std::optional<DownloadInfo> Store::lastDownload() const
{
    return first(rowsOf(db_.get(),
                        QLatin1String(DownloadColumns) + NewestFirst + QStringLiteral(" LIMIT 1"),
                        {}, downloadAt));
}

QList<HistoryRow> Store::records(qint64 downloadId) const
{
    return rowsOf(db_.get(),
                  QStringLiteral("SELECT no, ground_kv, line_kv, current_a, ground_text, line_text,"
                                 " current_text FROM records WHERE download_id = ? ORDER BY no"),
                  {downloadId}, [](const QSqlQuery& q) {
                      return HistoryRow{q.value(0).toInt(), measurementAt(q, 1)};
                  });
}

QList<SessionInfo> Store::sessions(const DateFilter& filter) const
{
    QVariantList values;
    const QString clause = dateClause(filter, &values);
    return rowsOf(db_.get(),
                  QLatin1String(SessionColumns) + QStringLiteral(" WHERE 1=1") + clause +
                      NewestFirst,
                  values, sessionAt);
}

std::optional<SessionInfo> Store::session(qint64 id) const
{
    return first(rowsOf(db_.get(), QLatin1String(SessionColumns) + QStringLiteral(" WHERE id = ?"),
                        {id}, sessionAt));
}

QList<RealtimeSample> Store::samples(qint64 sessionId, const QDateTime& since) const
{
    QVariantList values{sessionId};
    QString sql = QStringLiteral("SELECT at_utc, ground_kv, line_kv, current_a, ground_text,"
                                 " line_text, current_text, over_range FROM samples"
                                 " WHERE session_id = ?");
    if (since.isValid()) {
        sql += QStringLiteral(" AND at_utc >= ?");
        values.append(utcText(since));
    }
    return rowsOf(db_.get(), sql + QStringLiteral(" ORDER BY seq"), values, [](const QSqlQuery& q) {
        RealtimeSample sample{fromUtcText(q.value(0)), measurementAt(q, 1)};
        sample.value.overRange = q.value(7).toBool();
        return sample;
    });
}

bool Store::removeDownload(qint64 id)
{
    return db_ && id != download_ &&
           db_->exec(QStringLiteral("DELETE FROM downloads WHERE id = ?"), {id}, nullptr);
}

bool Store::removeSession(qint64 id)
{
    return db_ && id != session_ &&
           db_->exec(QStringLiteral("DELETE FROM sessions WHERE id = ?"), {id}, nullptr);
}

} // namespace tesvaron::archive
