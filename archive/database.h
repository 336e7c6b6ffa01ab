#pragma once
// One connection to an archive database, local SQLite or a PostgreSQL server, with the schema
// brought up to date on open.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <memory>

namespace tesvaron::archive {

// The schema version this program writes.
inline constexpr int SchemaVersion = 2;

// Times are stored in UTC as "2026-12-07T02:15:02.123Z" (TEXT in SQLite, timestamptz on a server).
QString utcText(const QDateTime& time);
QDateTime fromUtcText(const QVariant& value); // local time with its offset; invalid for NULL

// The parts of a postgresql:// address. A "host" query item (a socket folder) wins over the
// address's host; "port" likewise.
struct ServerAddress
{
    QString user, password, host, database;
    int port = 5432;
    bool valid = false;
};
ServerAddress parseServerAddress(const QString& url);

class Database
{
public:
    // The local database at `path`, its folder created private to the user, WAL mode.
    static std::unique_ptr<Database> openLocal(const QString& path, QString* error);
    // A server, connected within `timeoutSeconds`.
    static std::unique_ptr<Database> openServer(const QString& url, int timeoutSeconds,
                                                QString* error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isServer() const { return server_; }
    QSqlDatabase& connection() { return db_; }
    int version();
    // Applies every step above the stored version, each in its own transaction.
    bool migrate(QString* error);

    // Runs `sql` with `values` bound in order; false with `error` set when it fails.
    bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values, QString* error);
    bool exec(const QString& sql, const QVariantList& values, QString* error);

private:
    Database(const QString& driver, bool server);
    QString name_;
    QSqlDatabase db_;
    bool server_ = false;
};

} // namespace tesvaron::archive
