#pragma once
// The measurement archive: every realtime reading and every download, filed as it happens into a
// local SQLite database (and, when configured, sent on to a PostgreSQL server), read back by the
// archive window, the trend, the report and tesvaron-cli.

#include "replies/measurements.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace tesvaron::archive {

// Where the archive lives.
struct Location
{
    QString database; // the local SQLite file
    QString server;   // "postgresql://user@host[:port]/db[?host=/socket/dir]"; empty: local only
};

// The window's archive: $TESVARON_ARCHIVE (a postgresql:// address, or a file path for the local
// database), else the settings file's "archive/location", in the window's data folder.
Location defaultLocation();
// The window's data folder (QStandardPaths::AppDataLocation of "tesvaron"), for the window and
// tesvaron-cli alike.
QString dataFolder();

// One download from the instrument. Times are local, with their UTC offset.
struct DownloadInfo
{
    qint64 id = 0;
    QDateTime started;
    QDateTime ended;   // invalid when the program ended before the download did
    QString port;      // "COM3"
    QString device;    // "/dev/ttyUSB0", or empty
    int reported = -1; // the instrument's own total; -1 when it never came
    bool complete = false;
    int rowsRead = 0; // records filed
};

// One realtime session: from the instrument found to lost or the window closed.
struct SessionInfo
{
    qint64 id = 0;
    QDateTime started;
    QDateTime ended; // invalid while it runs, or when the program was killed
    QString port;
    QString device;
    int samples = 0;
};

// Local dates, both ends included; an invalid date leaves that end open.
struct DateFilter
{
    QDate from;
    QDate to;
};

class Database;

// The store. It never throws and never blocks the link for long: when the database cannot be
// opened or written it says so once (`unavailable`) and carries on without it.
class Store : public QObject, public MeasurementListener
{
    Q_OBJECT
public:
    // One program at a time writes: a writer holds the archive's lock file for as long as it
    // runs, and a second writer (tesvaron-cli beside the window) files nothing and says why.
    enum class Access { Write, Read };
    explicit Store(const Location& location, Access access = Access::Write,
                   QObject* parent = nullptr);
    ~Store() override;

    bool isAvailable() const;
    // Emits `unavailable` now for what nobody was told yet: a database that could not be
    // opened, a server this build cannot reach (the local database is used alone).
    void reportUnavailable();
    QString lastError() const;
    // Where a download is filed, for the status bar: the database file or the server.
    QString whereFiled() const;
    // The download most recently started is wholly in the archive (false while it has rows the
    // database refused).
    bool lastDownloadFiled() const;
    // The download and the realtime session being filed now, or 0.
    qint64 currentDownload() const;
    qint64 currentSession() const;

    // Read-back, newest first.
    QList<DownloadInfo> downloads(const DateFilter& filter = {}) const;
    std::optional<DownloadInfo> download(qint64 id) const;
    std::optional<DownloadInfo> lastDownload() const;
    QList<HistoryRow> records(qint64 downloadId) const;
    QList<SessionInfo> sessions(const DateFilter& filter = {}) const;
    std::optional<SessionInfo> session(qint64 id) const;
    // A session's samples in time order; `since` (when valid) keeps the later ones only.
    QList<RealtimeSample> samples(qint64 sessionId, const QDateTime& since = {}) const;
    bool removeDownload(qint64 id);
    bool removeSession(qint64 id);

    // MeasurementListener: each call is filed before it returns.
    void instrumentFound(const PortInfo& port) override;
    void instrumentLost() override;
    void realtimeReading(const RealtimeSample& sample) override;
    void downloadStarted(const PortInfo& port, const QDateTime& at) override;
    void downloadTotal(int reported) override;
    void downloadRows(const QList<HistoryRow>& rows) override;
    void downloadEnded(const DownloadEnd& end) override;

signals:
    // The first failure of the run, in words for the user; later failures are not repeated.
    // Also, once, a server this build cannot reach.
    void unavailable(const QString& message);
    void downloadFiled(qint64 id, const QString& where);
    void sampleFiled(qint64 sessionId, const tesvaron::RealtimeSample& sample);

private:
    bool writable();
    void fail(const QString& what);

    bool claim();

    std::unique_ptr<Database> db_;
    std::unique_ptr<QLockFile> writer_;
    Location location_;
    QString error_;
    QString serverRefused_;
    bool told_ = false;
    bool downloadFiled_ = true;
    qint64 download_ = 0;
    qint64 session_ = 0;
    int sessionSeq_ = 0;
    PortInfo sessionPort_;
    class Sender;
    std::unique_ptr<Sender> sender_;
};

// Exports of one download or one session for analysis. Both return false with `error` set when
// the file cannot be written, and never leave a partial file behind.
// CSV: UTF-8 with a byte-order mark, comma separated, times ISO 8601 with the UTC offset.
QByteArray downloadCsv(const DownloadInfo& info, const QList<HistoryRow>& rows);
QByteArray sessionCsv(const SessionInfo& info, const QList<RealtimeSample>& samples);
// By the name's extension: ".xlsx" a workbook with numeric cells and units in the headers,
// anything else CSV.
bool exportDownload(const QString& path, const DownloadInfo& info, const QList<HistoryRow>& rows,
                    QString* error);
bool exportSession(const QString& path, const SessionInfo& info,
                   const QList<RealtimeSample>& samples, QString* error);

} // namespace tesvaron::archive
