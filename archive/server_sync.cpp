#include "archive/server_sync.h"

#include "archive/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

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
        result.reached = sendDownloads(result) && sendSessions(result);
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

// Each download whose header changed or that has unsent records: its header upserted by uid,
// its unsent records inserted (a record the server has is skipped), in one server transaction;
// only then marked sent here, and only as far as what was read.
bool ServerSync::sendDownloads(Result& result)
{
    QSqlQuery todo(local_->connection());
    if (!todo.exec(QStringLiteral(
            "SELECT id, uid, started_utc, ended_utc, port, device, reported, complete,"
            " rows_read, pending FROM downloads WHERE pending > 0 OR id IN"
            " (SELECT download_id FROM records WHERE sent = 0) ORDER BY id"))) {
        result.error = todo.lastError().text();
        return false;
    }
    struct Header
    {
        QVariantList values;
        qint64 id;
        int pending;
    };
    std::vector<Header> headers;
    while (todo.next()) {
        QVariantList v;
        for (int i = 1; i <= 8; ++i)
            v.append(todo.value(i));
        v[2] = timeOrNull(v[2]);
        headers.push_back({v, todo.value(0).toLongLong(), todo.value(9).toInt()});
    }
    todo.finish();
    QSqlDatabase& server = server_->connection();
    for (const Header& h : headers) {
        QSqlQuery up(server);
        const QVariantList& v = h.values;
        bool ok =
            server.transaction() &&
            server_->exec(
                up,
                QStringLiteral(
                    "INSERT INTO downloads (uid, started_utc, ended_utc, port,"
                    " device, reported, complete, rows_read, pending)"
                    " VALUES (?, CAST(? AS TIMESTAMPTZ), CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, 0)"
                    " ON CONFLICT (uid) DO UPDATE SET ended_utc = EXCLUDED.ended_utc,"
                    " reported = EXCLUDED.reported, complete = EXCLUDED.complete,"
                    " rows_read = EXCLUDED.rows_read RETURNING id"),
                {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]}, &result.error) &&
            up.next();
        const qint64 serverId = ok ? up.value(0).toLongLong() : 0;
        QSqlQuery rows(local_->connection());
        ok = ok && local_->exec(rows,
                                QStringLiteral("SELECT no, ground_kv, line_kv, current_a,"
                                               " ground_text, line_text, current_text FROM records"
                                               " WHERE download_id = ? AND sent = 0 ORDER BY no"),
                                {h.id}, &result.error);
        QVariantList sentNos;
        while (ok && rows.next()) {
            ok = server_->exec(
                QStringLiteral("INSERT INTO records (download_id, no, ground_kv,"
                               " line_kv, current_a, ground_text, line_text,"
                               " current_text, sent) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1)"
                               " ON CONFLICT (download_id, no) DO NOTHING"),
                {serverId, rows.value(0), rows.value(1), rows.value(2), rows.value(3),
                 rows.value(4), rows.value(5), rows.value(6)},
                &result.error);
            sentNos.append(rows.value(0));
        }
        rows.finish();
        if (!ok || !server.commit()) {
            if (ok) result.error = server.lastError().text();
            server.rollback();
            return false;
        }
        // The server has it all now; a crash before these marks only means it is offered again.
        QSqlDatabase& c = local_->connection();
        c.transaction();
        local_->exec(QStringLiteral("UPDATE downloads SET pending = pending - ? WHERE id = ?"),
                     {h.pending, h.id}, nullptr);
        for (const QVariant& no : sentNos)
            local_->exec(
                QStringLiteral("UPDATE records SET sent = 1 WHERE download_id = ? AND no = ?"),
                {h.id, no}, nullptr);
        c.commit();
        result.headers += 1;
        result.rows += int(sentNos.size());
    }
    return true;
}

bool ServerSync::sendSessions(Result& result)
{
    QSqlQuery todo(local_->connection());
    if (!todo.exec(QStringLiteral(
            "SELECT id, uid, started_utc, ended_utc, port, device, pending FROM sessions"
            " WHERE pending > 0 OR id IN (SELECT session_id FROM samples WHERE sent = 0)"
            " ORDER BY id"))) {
        result.error = todo.lastError().text();
        return false;
    }
    struct Header
    {
        QVariantList values;
        qint64 id;
        int pending;
    };
    std::vector<Header> headers;
    while (todo.next()) {
        QVariantList v;
        for (int i = 1; i <= 5; ++i)
            v.append(todo.value(i));
        v[2] = timeOrNull(v[2]);
        headers.push_back({v, todo.value(0).toLongLong(), todo.value(6).toInt()});
    }
    todo.finish();
    QSqlDatabase& server = server_->connection();
    for (const Header& h : headers) {
        int pending = h.pending;
        for (bool more = true; more;) {
            QSqlQuery up(server);
            const QVariantList& v = h.values;
            bool ok = server.transaction() &&
                      server_->exec(
                          up,
                          QStringLiteral("INSERT INTO sessions (uid, started_utc, ended_utc,"
                                         " port, device, pending) VALUES (?,"
                                         " CAST(? AS TIMESTAMPTZ), CAST(? AS TIMESTAMPTZ), ?, ?, 0)"
                                         " ON CONFLICT (uid) DO UPDATE SET"
                                         " ended_utc = EXCLUDED.ended_utc RETURNING id"),
                          {v[0], v[1], v[2], v[3], v[4]}, &result.error) &&
                      up.next();
            const qint64 serverId = ok ? up.value(0).toLongLong() : 0;
            QSqlQuery rows(local_->connection());
            ok = ok && local_->exec(rows,
                                    QStringLiteral("SELECT seq, at_utc, ground_kv, line_kv,"
                                                   " current_a, over_range, ground_text, line_text,"
                                                   " current_text FROM samples WHERE session_id = ?"
                                                   " AND sent = 0 ORDER BY seq LIMIT ?"),
                                    {h.id, BatchRows}, &result.error);
            int count = 0;
            QVariant lastSeq;
            while (ok && rows.next()) {
                ok = server_->exec(
                    QStringLiteral("INSERT INTO samples (session_id, seq, at_utc,"
                                   " ground_kv, line_kv, current_a, over_range,"
                                   " ground_text, line_text, current_text, sent)"
                                   " VALUES (?, ?, CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, ?,"
                                   " ?, 1) ON CONFLICT (session_id, seq) DO NOTHING"),
                    {serverId, rows.value(0), rows.value(1), rows.value(2), rows.value(3),
                     rows.value(4), rows.value(5), rows.value(6), rows.value(7), rows.value(8)},
                    &result.error);
                lastSeq = rows.value(0);
                ++count;
            }
            rows.finish();
            if (!ok || !server.commit()) {
                if (ok) result.error = server.lastError().text();
                server.rollback();
                return false;
            }
            QSqlDatabase& c = local_->connection();
            c.transaction();
            local_->exec(QStringLiteral("UPDATE sessions SET pending = pending - ? WHERE id = ?"),
                         {pending, h.id}, nullptr);
            if (count > 0)
                local_->exec(QStringLiteral("UPDATE samples SET sent = 1 WHERE session_id = ? AND"
                                            " seq <= ? AND sent = 0"),
                             {h.id, lastSeq}, nullptr);
            c.commit();
            pending = 0;
            result.rows += count;
            more = count == BatchRows;
        }
        result.headers += 1;
    }
    return true;
}

} // namespace tesvaron::archive
