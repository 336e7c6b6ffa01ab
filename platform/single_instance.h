#pragma once
// One program per user and runtime folder: two copies on one port would trample each other's
// exchanges. The first start listens on a local socket; a later start asks it to come forward.

#include <QObject>
#include <QString>

class QLocalServer;

namespace tesvaron {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `socketPath` is the socket both copies meet at; see defaultPath().
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);

    // "instance" in the runtime folder; empty when there is none (then said on standard error).
    static QString defaultPath();

    // True when this process is to run: it now listens (a socket left by a copy that is gone is
    // replaced), or the socket cannot be set up at all, or its folder is not private to the
    // user (said once on standard error). False once a running copy was asked to
    // come forward.
    bool claim();

signals:
    // A later start asked this copy's window to come to the front.
    void raiseRequested();

private:
    bool askRunning();

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace tesvaron
