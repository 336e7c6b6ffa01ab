#include "platform/serial_backend.h"

#include "platform/port_map.h"

#include <QFileInfo>
#include <QSerialPort>

#ifndef Q_OS_WIN
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

} // namespace

QtSerialBackend::QtSerialBackend(QObject* parent)
    : SerialBackend(parent), port_(new QSerialPort(this))
{
    // Delivered from the event loop, so a handler may close and reopen the port safely.
    connect(port_, &QSerialPort::readyRead, this, &SerialBackend::readyRead, Qt::QueuedConnection);
}

OpenOutcome QtSerialBackend::open(int comNumber, QString* detail)
{
    const QString named = resolveComPort(comNumber);
    device_.clear();
    if (named.isEmpty()) {
        if (detail) *detail = QStringLiteral("COM%1: 没有对应的串口设备").arg(comNumber);
        return OpenOutcome::NotFound;
    }
    QString device = named;
#ifndef Q_OS_WIN
    const QFileInfo info(named);
    if (info.isSymLink()) {
        device = info.canonicalFilePath();
        if (device.isEmpty()) {
            if (detail) *detail = QStringLiteral("%1 指向的设备不存在").arg(named);
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

    if (port_->open(QIODevice::ReadWrite)) {
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
                *detail = QStringLiteral("%1: 没有权限（%2）。请把用户加入 dialout 组后重新登录。")
                              .arg(device, reason);
            return OpenOutcome::NoPermission;
        }
        if (detail) *detail = QStringLiteral("%1: 被其他程序占用（%2）").arg(device, reason);
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

} // namespace tesvaron
