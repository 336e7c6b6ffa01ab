#include "archive/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>

namespace tesvaron::archive {

namespace {

// Schema steps: step v brings a database from version v - 1 to v. "%ID", "%TIME" and "%UID"
// stand for what each engine calls an identity key, a time and a fresh unique text.
struct Step
{
    int version;
    const char* sql;
};
constexpr Step Steps[] = {
    {1, "CREATE TABLE downloads (id %ID, started_utc %TIME NOT NULL, ended_utc %TIME,"
        " port TEXT NOT NULL, device TEXT NOT NULL DEFAULT '', reported INTEGER,"
        " complete INTEGER NOT NULL DEFAULT 0, rows_read INTEGER NOT NULL DEFAULT 0)"},
    {1, "CREATE TABLE records (download_id BIGINT NOT NULL REFERENCES downloads(id)"
        " ON DELETE CASCADE, no INTEGER NOT NULL, ground_kv REAL, line_kv REAL, current_a REAL,"
        " ground_text TEXT NOT NULL, line_text TEXT NOT NULL, current_text TEXT NOT NULL,"
        " PRIMARY KEY (download_id, no))"},
    {1, "CREATE TABLE sessions (id %ID, started_utc %TIME NOT NULL, ended_utc %TIME,"
        " port TEXT NOT NULL, device TEXT NOT NULL DEFAULT '')"},
    {1, "CREATE TABLE samples (session_id BIGINT NOT NULL REFERENCES sessions(id)"
        " ON DELETE CASCADE, seq INTEGER NOT NULL, at_utc %TIME NOT NULL, ground_kv REAL,"
        " line_kv REAL, current_a REAL, over_range INTEGER NOT NULL DEFAULT 0,"
        " ground_text TEXT NOT NULL, line_text TEXT NOT NULL, current_text TEXT NOT NULL,"
        " PRIMARY KEY (session_id, seq))"},
    {1, "CREATE INDEX downloads_started ON downloads (started_utc)"},
    {1, "CREATE INDEX sessions_started ON sessions (started_utc)"},
    // Version 2: what a copy on a server needs. Every download and session gets a unique text
    // the server knows it by; `pending` counts header changes not yet sent, `sent` marks rows
    // the server has.
    {2, "ALTER TABLE downloads ADD COLUMN uid TEXT"},
    {2, "ALTER TABLE sessions ADD COLUMN uid TEXT"},
    {2, "UPDATE downloads SET uid = %UID"},
    {2, "UPDATE sessions SET uid = %UID"},
    {2, "CREATE UNIQUE INDEX downloads_uid ON downloads (uid)"},
    {2, "CREATE UNIQUE INDEX sessions_uid ON sessions (uid)"},
    {2, "ALTER TABLE downloads ADD COLUMN pending INTEGER NOT NULL DEFAULT 1"},
    {2, "ALTER TABLE sessions ADD COLUMN pending INTEGER NOT NULL DEFAULT 1"},
    {2, "ALTER TABLE records ADD COLUMN sent INTEGER NOT NULL DEFAULT 0"},
    {2, "ALTER TABLE samples ADD COLUMN sent INTEGER NOT NULL DEFAULT 0"},
};

QString dialect(const char* sql, bool server)
{
    QString text = QString::fromLatin1(sql);
    text.replace(QLatin1String("%ID"), server ? QLatin1String("BIGSERIAL PRIMARY KEY")
                                              : QLatin1String("INTEGER PRIMARY KEY"));
    text.replace(QLatin1String("%TIME"),
                 server ? QLatin1String("TIMESTAMPTZ") : QLatin1String("TEXT"));
    text.replace(QLatin1String("%UID"), server ? QLatin1String("md5(random()::text || id::text)")
                                               : QLatin1String("lower(hex(randomblob(16)))"));
    return text;
}

QString errorText(const QSqlError& error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

} // namespace

QString utcText(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime fromUtcText(const QVariant& value)
{
    if (value.isNull()) return {};
    const QDateTime time = value.typeId() == QMetaType::QDateTime
                               ? value.toDateTime()
                               : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid()) return {};
    // Local time, carrying its offset so that it prints with it.
    return time.toOffsetFromUtc(time.toLocalTime().offsetFromUtc());
}

ServerAddress parseServerAddress(const QString& text)
{
    ServerAddress address;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return address;
    const QUrlQuery query(url);
    address.user = url.userName();
    address.password = url.password();
    address.host = query.hasQueryItem(QStringLiteral("host"))
                       ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
                       : url.host();
    address.port = query.hasQueryItem(QStringLiteral("port"))
                       ? query.queryItemValue(QStringLiteral("port")).toInt()
                       : url.port(5432);
    address.database = url.path().mid(1);
    address.valid = !address.database.isEmpty() && address.port > 0;
    return address;
}

Database::Database(const QString& driver, bool server) : server_(server)
{
    static std::atomic<int> counter{0};
    name_ = QStringLiteral("tesvaron-archive-%1").arg(++counter);
    db_ = QSqlDatabase::addDatabase(driver, name_);
}

Database::~Database()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

std::unique_ptr<Database> Database::openLocal(const QString& path, QString* error)
{
    const QFileInfo file(path);
    if (!QDir().mkpath(file.absolutePath())) {
        *error =
            QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(file.absolutePath()));
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database(QStringLiteral("QSQLITE"), false));
    if (!db->db_.isValid()) {
        *error = QStringLiteral("the SQLite driver is missing");
        return nullptr;
    }
    db->db_.setDatabaseName(path);
    // Wait a little for another writer (tesvaron-cli beside the window), never long.
    db->db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=500"));
    if (!db->db_.open()) {
        *error = errorText(db->db_.lastError());
        return nullptr;
    }
    QSqlQuery query(db->db_);
    // WAL: a writer never waits for readers; NORMAL: a commit is in the file as soon as it
    // returns, so a killed program keeps it (only a power cut may lose the last commits).
    if (!db->exec(query, QStringLiteral("PRAGMA journal_mode=WAL"), {}, error)) return nullptr;
    if (!query.next() || query.value(0).toString() != QLatin1String("wal")) {
        *error = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    query.finish();
    if (!db->exec(QStringLiteral("PRAGMA synchronous=NORMAL"), {}, error) ||
        !db->exec(QStringLiteral("PRAGMA foreign_keys=ON"), {}, error) || !db->migrate(error))
        return nullptr;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return db;
}

std::unique_ptr<Database> Database::openServer(const QString& url, int timeoutSeconds,
                                               QString* error)
{
    const ServerAddress address = parseServerAddress(url);
    if (!address.valid) {
        *error = QStringLiteral("not a postgresql:// address: %1").arg(url);
        return nullptr;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("the PostgreSQL driver (QPSQL) is missing");
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database(QStringLiteral("QPSQL"), true));
    db->db_.setHostName(address.host);
    db->db_.setPort(address.port);
    db->db_.setUserName(address.user);
    db->db_.setPassword(address.password);
    db->db_.setDatabaseName(address.database);
    db->db_.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(timeoutSeconds));
    if (!db->db_.open()) {
        *error = errorText(db->db_.lastError());
        return nullptr;
    }
    if (!db->migrate(error)) return nullptr;
    return db;
}

int Database::version()
{
    QSqlQuery query(db_);
    if (!server_) {
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) return -1;
        return query.value(0).toInt();
    }
    // A server has no user_version; a one-row table keeps it.
    if (!db_.tables().contains(QLatin1String("schema_version")) &&
        !query.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER)")))
        return -1;
    if (!query.exec(QStringLiteral("SELECT version FROM schema_version"))) return -1;
    return query.next() ? query.value(0).toInt() : 0;
}

bool Database::migrate(QString* error)
{
    const int from = version();
    if (from < 0) {
        *error = errorText(db_.lastError());
        return false;
    }
    if (from > SchemaVersion) {
        *error = QStringLiteral("the archive was written by a newer version (schema %1)").arg(from);
        return false;
    }
    for (int v = from + 1; v <= SchemaVersion; ++v) {
        if (!db_.transaction()) {
            *error = errorText(db_.lastError());
            return false;
        }
        bool ok = true;
        for (const Step& step : Steps)
            if (ok && step.version == v) ok = exec(dialect(step.sql, server_), {}, error);
        if (ok)
            ok = server_
                     ? exec(QStringLiteral("DELETE FROM schema_version"), {}, error) &&
                           exec(QStringLiteral("INSERT INTO schema_version VALUES (?)"), {v}, error)
                     : exec(QStringLiteral("PRAGMA user_version=%1").arg(v), {}, error);
        if (!ok || !db_.commit()) {
            if (ok) *error = errorText(db_.lastError());
            db_.rollback();
            return false;
        }
    }
    return true;
}

bool Database::exec(QSqlQuery& query, const QString& sql, const QVariantList& values,
                    QString* error)
{
    // Statements without values run as they are: a server cannot prepare schema changes.
    if (values.isEmpty()) {
        if (query.exec(sql)) return true;
        if (error) *error = errorText(query.lastError());
        return false;
    }
    if (!query.prepare(sql)) {
        if (error) *error = errorText(query.lastError());
        return false;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        if (error) *error = errorText(query.lastError());
        return false;
    }
    return true;
}

bool Database::exec(const QString& sql, const QVariantList& values, QString* error)
{
    QSqlQuery query(db_);
    return exec(query, sql, values, error);
}

} // namespace tesvaron::archive
