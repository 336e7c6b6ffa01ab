#include "archive/server_sync.h"

#include "archive/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantList>
#include <vector>

namespace tesvaron::archive {

namespace {

constexpr int ConnectTimeoutSeconds = 5;
// Rows sent per server transaction, so a long session goes over in bounded steps.
constexpr int BatchRows = 500;

// The server's time columns take the local text as it is ("...Z" is UTC).
QVariant timeOrNull(const QVariant& value)
{
    return value.isNull() ? QVariant(QMetaType(QMetaType::QString)) : value;
}

} // namespace

// How one kind of header (a download, a session) and its rows go over. Each header whose
// fields changed or that has unsent rows: upserted by uid, then its unsent rows inserted in
// batches (a row the server has is skipped), each batch in one server transaction; only then
// marked sent here, and only as far as what was read.
struct Transfer
{
    QString headers;  // id, pending, then the upsert's values: uid, started_utc, ended_utc, ...
    QString upsert;   // RETURNING the server's id
    QString rows;     // a header's unsent rows (header id, limit), key first, in key order
    QString insert;   // a row: the server's header id, then the row's columns
    QString unpend;   // pending = pending - ? WHERE id = ?
    QString markSent; // sent = 1 WHERE header = ? AND key <= ? AND sent = 0
};

namespace {

const Transfer Downloads{
    QStringLiteral("SELECT id, pending, uid, started_utc, ended_utc, port, device, reported,"
                   " complete, rows_read FROM downloads WHERE pending > 0 OR id IN"
                   " (SELECT download_id FROM records WHERE sent = 0) ORDER BY id"),
    QStringLiteral("INSERT INTO downloads (uid, started_utc, ended_utc, port, device, reported,"
                   " complete, rows_read, pending) VALUES (?, CAST(? AS TIMESTAMPTZ),"
                   " CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, 0) ON CONFLICT (uid) DO UPDATE SET"
                   " ended_utc = EXCLUDED.ended_utc, reported = EXCLUDED.reported,"
                   " complete = EXCLUDED.complete, rows_read = EXCLUDED.rows_read RETURNING id"),
    QStringLiteral("SELECT no, ground_kv, line_kv, current_a, ground_text, line_text,"
                   " current_text FROM records WHERE download_id = ? AND sent = 0 ORDER BY no"
                   " LIMIT ?"),
    QStringLiteral("INSERT INTO records (download_id, no, ground_kv, line_kv, current_a,"
                   " ground_text, line_text, current_text, sent) VALUES (?, ?, ?, ?, ?, ?, ?, ?,"
                   " 1) ON CONFLICT (download_id, no) DO NOTHING"),
    QStringLiteral("UPDATE downloads SET pending = pending - ? WHERE id = ?"),
    QStringLiteral("UPDATE records SET sent = 1 WHERE download_id = ? AND no <= ? AND sent = 0"),
};

const Transfer Sessions{
    QStringLiteral("SELECT id, pending, uid, started_utc, ended_utc, port, device FROM sessions"
                   " WHERE pending > 0 OR id IN (SELECT session_id FROM samples WHERE sent = 0)"
                   " ORDER BY id"),
    QStringLiteral("INSERT INTO sessions (uid, started_utc, ended_utc, port, device, pending)"
                   " VALUES (?, CAST(? AS TIMESTAMPTZ), CAST(? AS TIMESTAMPTZ), ?, ?, 0)"
                   " ON CONFLICT (uid) DO UPDATE SET ended_utc = EXCLUDED.ended_utc"
                   " RETURNING id"),
    QStringLiteral("SELECT seq, at_utc, ground_kv, line_kv, current_a, over_range, ground_text,"
                   " line_text, current_text FROM samples WHERE session_id = ? AND sent = 0"
                   " ORDER BY seq LIMIT ?"),
    QStringLiteral("INSERT INTO samples (session_id, seq, at_utc, ground_kv, line_kv, current_a,"
                   " over_range, ground_text, line_text, current_text, sent) VALUES (?, ?,"
                   " CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, ?, ?, 1)"
                   " ON CONFLICT (session_id, seq) DO NOTHING"),
    QStringLiteral("UPDATE sessions SET pending = pending - ? WHERE id = ?"),
    QStringLiteral("UPDATE samples SET sent = 1 WHERE session_id = ? AND seq <= ? AND sent = 0"),
};

// A query's row from column `first` on.
QVariantList columns(const QSqlQuery& query, int first)
{
    QVariantList values;
    for (int i = first; i < query.record().count(); ++i)
        values.append(query.value(i));
    return values;
}

} // namespace

ServerSync::ServerSync(const QString& localPath, const QString& serverUrl)
    : localPath_(localPath), serverUrl_(serverUrl)
{
}

ServerSync::~ServerSync() = default;

void ServerSync::disconnect()
{
    server_.reset();
    local_.reset();
}

int ServerSync::waitingRows()
{
    QSqlQuery q(local_->connection());
    if (!q.exec(QStringLiteral("SELECT (SELECT count(*) FROM records WHERE sent = 0) +"
                               " (SELECT count(*) FROM samples WHERE sent = 0)")) ||
        !q.next())
        return -1;
    return q.value(0).toInt();
}

ServerSync::Result ServerSync::push()
{
    Result result;
    if (!local_) local_ = Database::openLocal(localPath_, &result.error);
    if (!local_) return result;
    if (!server_) server_ = Database::openServer(serverUrl_, ConnectTimeoutSeconds, &result.error);
    if (server_) {
        result.reached = send(Downloads, result) && send(Sessions, result);
        if (!result.reached) {
            if (result.error.isEmpty()) result.error = server_->connection().lastError().text();
            if (result.error.trimmed().isEmpty())
                result.error = QStringLiteral("the server went away");
            server_.reset();
        }
    }
    result.waiting = waitingRows();
    return result;
}

bool ServerSync::send(const Transfer& t, Result& result)
{
    QSqlQuery todo(local_->connection());
    if (!todo.exec(t.headers)) {
        result.error = todo.lastError().text();
        return false;
    }
    struct Header
    {
        qint64 id;
        int pending;
        QVariantList values;
    };
    std::vector<Header> headers;
    while (todo.next()) {
        QVariantList values = columns(todo, 2);
        values[2] = timeOrNull(values[2]);
        headers.push_back({todo.value(0).toLongLong(), todo.value(1).toInt(), values});
    }
    todo.finish();
    QSqlDatabase& server = server_->connection();
    for (const Header& h : headers) {
        for (int pending = h.pending, count = BatchRows; count == BatchRows; pending = 0) {
            QSqlQuery up(server);
            bool ok = server.transaction() &&
                      server_->exec(up, t.upsert, h.values, &result.error) && up.next();
            const qint64 serverId = ok ? up.value(0).toLongLong() : 0;
            QSqlQuery rows(local_->connection());
            ok = ok && local_->exec(rows, t.rows, {h.id, BatchRows}, &result.error);
            count = 0;
            QVariant lastKey;
            while (ok && rows.next()) {
                ok = server_->exec(t.insert, QVariantList{serverId} + columns(rows, 0),
                                   &result.error);
                lastKey = rows.value(0);
                ++count;
            }
            rows.finish();
            if (!ok || !server.commit()) {
                if (ok) result.error = server.lastError().text();
                server.rollback();
                return false;
            }
            // The server has it all now; a crash before these marks only means it is offered
            // again.
            QSqlDatabase& c = local_->connection();
            c.transaction();
            local_->exec(t.unpend, {pending, h.id}, nullptr);
            if (count > 0) local_->exec(t.markSent, {h.id, lastKey}, nullptr);
            c.commit();
            result.rows += count;
        }
        result.headers += 1;
    }
    return true;
}

} // namespace tesvaron::archive
