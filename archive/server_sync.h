#pragma once
// Copies what the local archive holds and a PostgreSQL server lacks onto the server. The local
// database is the queue: nothing is lost while the server is away, and as the server knows each
// download and session by its unique text and each row by its number, nothing arrives twice.

#include <QString>
#include <memory>

namespace tesvaron::archive {

class Database;
struct Transfer;

class ServerSync
{
public:
    ServerSync(const QString& localPath, const QString& serverUrl);
    ~ServerSync();

    struct Result
    {
        bool reached = false; // the server took everything that was waiting
        int headers = 0;      // downloads and sessions created or brought up to date
        int rows = 0;         // records and samples sent
        int waiting = 0;      // rows still waiting after this push
        QString error;
    };
    // Sends everything waiting. On a failure the server's half-done transaction is dropped and
    // the connection closed; the next push starts afresh.
    Result push();
    void disconnect();

private:
    bool send(const Transfer& transfer, Result& result);
    int waitingRows();

    QString localPath_;
    QString serverUrl_;
    std::unique_ptr<Database> local_;
    std::unique_ptr<Database> server_;
};

} // namespace tesvaron::archive
