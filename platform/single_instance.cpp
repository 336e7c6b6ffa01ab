#include "platform/single_instance.h"

#include "platform/port_map.h"
#include "platform/private_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace tesvaron {

namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
constexpr int ConnectWaitMs = 1000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath))
{
}

QString SingleInstance::defaultPath()
{
    QString refusal;
    const QString folder = runtimeFolder(&refusal);
    if (folder.isEmpty()) {
        tellOnce(refusal);
        return {};
    }
    return folder + QStringLiteral("/instance");
}

bool SingleInstance::askRunning()
{
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(ConnectWaitMs)) return false;
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(ConnectWaitMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim()
{
    // Without a private folder another user's listener could answer for us and stop us: run
    // unguarded rather than not at all.
    if (path_.isEmpty()) return true;
    const QString folder = QFileInfo(path_).absolutePath();
    if (const QString fault = makePrivateFolder(folder); !fault.isEmpty()) {
        tellOnce(folderRefusal(folder, fault));
        return true;
    }
    // Two starts at once must not both find no server and both listen.
    QLockFile guard(path_ + QStringLiteral(".lock"));
    if (!guard.tryLock(2 * ConnectWaitMs)) return !askRunning();
    if (askRunning()) return false;

    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path_); // nobody answered: the socket file is stale
    if (!server_->listen(path_)) {
        qWarning("tesvaron: cannot listen on %s: %s", qPrintable(path_),
                 qPrintable(server_->errorString()));
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(RaiseRequest.trimmed())) emit raiseRequested();
            });
        }
    });
    return true;
}

} // namespace tesvaron
