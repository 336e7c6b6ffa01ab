#include "platform/serial_backend.h"

#include "platform/port_map.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tesvaron {

namespace {

constexpr int WriteWaitMs = 200;

bool userMayUse(const QString& device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return true;
#else
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
}

#ifndef Q_OS_WIN
// The live process other than ours that a serial lock file names for `device`, or 0. The serial
// library takes a lock older than 30 s for stale and breaks it although its holder still runs.
qint64 lockHolder(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    // The serial library's own folders: which one a program uses depends on which it may write.
    for (const char* folder : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
                               "/var/spool/uucp", "/tmp", "/var/tmp"}) {
        QFile lock(QLatin1String(folder) + QLatin1String("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly)) continue;
        bool ok = false;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong(&ok);
        if (ok && pid > 0 && pid != qint64(::getpid()) &&
            (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return pid;
    }
    return 0;
}
#endif

bool hungUp(const QSerialPort& port)
{
#ifdef Q_OS_WIN
    Q_UNUSED(port);
    return true;
#else
    pollfd state{int(port.handle()), POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

} // namespace

QtSerialBackend::QtSerialBackend(QObject* parent)
    : SerialBackend(parent), port_(new QSerialPort(this))
{
    // Delivered from the event loop, so a handler may close and reopen the port safely.
    connect(port_, &QSerialPort::readyRead, this, &SerialBackend::readyRead, Qt::QueuedConnection);
    // A device that went away keeps the port readable for ever (a tty hang-up reads as end of
    // file, a pulled USB adapter as a resource error): close it rather than spin on it, and the
    // exchange ends through the reply timeout. A read error on a line that has not hung up
    // leaves the port open.
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
        if (!port_->isOpen() || (error == QSerialPort::ReadError && !hungUp(*port_))) return;
        port_->close();
        port_->clearError();
    });
}

OpenOutcome QtSerialBackend::open(int comNumber, QString* detail)
{
    const QString named = fixed_.isEmpty() ? resolveComPort(comNumber) : fixed_;
    device_.clear();
    if (named.isEmpty()) {
        if (detail)
            *detail = QCoreApplication::translate("SerialBackend", "COM%1: 没有对应的串口设备")
                          .arg(comNumber);
        return OpenOutcome::NotFound;
    }
    QString device = named;
#ifndef Q_OS_WIN
    const QFileInfo info(named);
    if (info.isSymLink()) {
        device = info.canonicalFilePath();
        if (device.isEmpty()) {
            if (detail)
                *detail =
                    QCoreApplication::translate("SerialBackend", "%1 指向的设备不存在").arg(named);
            return OpenOutcome::NotFound;
        }
    }
#endif
    device_ = device;
    port_->setPortName(device);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setReadBufferSize(0);

#ifndef Q_OS_WIN
    if (const qint64 holder = lockHolder(device)) {
        if (detail)
            *detail = QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（进程 %2）")
                          .arg(device)
                          .arg(holder);
        return OpenOutcome::InUse;
    }
#endif
    if (port_->open(QIODevice::ReadWrite)) {
#ifndef Q_OS_WIN
        // Holders that only flock the device; our own lock, kept while open, tells them ours.
        if (::flock(int(port_->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            port_->close();
            port_->clearError();
            if (detail)
                *detail =
                    QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（flock）")
                        .arg(device);
            return OpenOutcome::InUse;
        }
#endif
        if (detail) *detail = device;
        return OpenOutcome::Opened;
    }
    const QSerialPort::SerialPortError error = port_->error();
    const QString reason = port_->errorString();
    port_->clearError();
    if (port_->isOpen()) port_->close();

    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        if (detail) *detail = QStringLiteral("%1: %2").arg(device, reason);
        return OpenOutcome::NotFound;
    case QSerialPort::PermissionError:
        if (!userMayUse(device)) {
            if (detail)
                *detail =
                    QCoreApplication::translate(
                        "SerialBackend", "%1: 没有权限（%2）。请把用户加入 dialout 组后重新登录。")
                        .arg(device, reason);
            return OpenOutcome::NoPermission;
        }
        if (detail)
            *detail = QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（%2）")
                          .arg(device, reason);
        return OpenOutcome::InUse;
    default:
        if (detail) *detail = QStringLiteral("%1: %2").arg(device, reason);
        return OpenOutcome::Failed;
    }
}

void QtSerialBackend::close()
{
    if (port_->isOpen()) port_->close();
    port_->clearError();
}

bool QtSerialBackend::isOpen() const
{
    return port_->isOpen();
}

bool QtSerialBackend::write(const QByteArray& bytes)
{
    if (!port_->isOpen()) return false;
    if (port_->write(bytes) != bytes.size()) return false;
    port_->flush();
    if (port_->bytesToWrite() > 0) port_->waitForBytesWritten(WriteWaitMs);
    return port_->bytesToWrite() == 0;
}

qint64 QtSerialBackend::bytesAvailable() const
{
    return port_->isOpen() ? port_->bytesAvailable() : 0;
}

QByteArray QtSerialBackend::readAll()
{
    return port_->isOpen() ? port_->readAll() : QByteArray();
}

void QtSerialBackend::clearInput()
{
    if (port_->isOpen()) port_->clear(QSerialPort::Input);
}

void QtSerialBackend::clearOutput()
{
    // write() hands every byte to the driver before it returns, so nothing of ours is left
    // unsent; flushing the driver's queue as well would cut a request off on a slow UART.
}

QString openOutcomeText(OpenOutcome outcome)
{
    switch (outcome) {
    case OpenOutcome::Opened:
        return QCoreApplication::translate("SerialBackend", "已打开");
    case OpenOutcome::NotFound:
        return QCoreApplication::translate("SerialBackend", "无效");
    case OpenOutcome::InUse:
        return QCoreApplication::translate("SerialBackend", "被占用");
    case OpenOutcome::NoPermission:
        return QCoreApplication::translate("SerialBackend", "无权限");
    case OpenOutcome::Failed:
        break;
    }
    return QCoreApplication::translate("SerialBackend", "打开失败");
}

} // namespace tesvaron
