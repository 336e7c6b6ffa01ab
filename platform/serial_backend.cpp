#include "platform/serial_backend.h"

#include "platform/device_port.h"
#include "platform/port_map.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tesvaron {

namespace {

constexpr std::chrono::milliseconds WriteWait{200};

} // namespace

QtSerialBackend::QtSerialBackend(QObject* parent)
    : SerialBackend(parent), port_(new DevicePort(this))
{
    // Delivered from the event loop, so a handler may close and reopen the port safely.
    connect(port_, &DevicePort::readyRead, this, &SerialBackend::readyRead, Qt::QueuedConnection);
}

void QtSerialBackend::setLockFolders(const QStringList& folders)
{
    port_->setLockFolders(folders);
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
    DevicePort::Refusal why;
    const OpenOutcome outcome = port_->open(device, &why);
    if (!detail) return outcome;
    switch (outcome) {
    case OpenOutcome::Opened:
        *detail = device;
        break;
    case OpenOutcome::InUse:
        if (why.lockHolder)
            *detail = QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（进程 %2）")
                          .arg(device)
                          .arg(why.lockHolder);
        else if (why.flocked)
            *detail = QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（flock）")
                          .arg(device);
        else
            *detail = QCoreApplication::translate("SerialBackend", "%1: 被其他程序占用（%2）")
                          .arg(device, why.reason);
        break;
    case OpenOutcome::NoPermission:
        *detail = QCoreApplication::translate(
                      "SerialBackend", "%1: 没有权限（%2）。请把用户加入 dialout 组后重新登录。")
                      .arg(device, why.reason);
        break;
    case OpenOutcome::NotFound:
    case OpenOutcome::Failed:
        *detail = QStringLiteral("%1: %2").arg(device, why.reason);
        break;
    }
    return outcome;
}

void QtSerialBackend::close()
{
    port_->close();
}

bool QtSerialBackend::isOpen() const
{
    return port_->isOpen();
}

bool QtSerialBackend::write(const QByteArray& bytes)
{
    return port_->write(bytes, WriteWait);
}

qint64 QtSerialBackend::bytesAvailable() const
{
    return port_->bytesAvailable();
}

QByteArray QtSerialBackend::readAll()
{
    return port_->readAll();
}

void QtSerialBackend::clearInput()
{
    port_->clearInput();
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
