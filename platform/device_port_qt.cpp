// DevicePort over the serial library (Windows; built on Linux too, for its tests): its own read
// buffer is held to ReadLimit.
#include "platform/device_port.h"

#include <QSerialPort>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tesvaron {

namespace {

// Why an open failed, asked of the system itself: the serial library reports a sharing violation
// as an unknown error, and a name that opens something other than a serial port (Wine's hidden
// ports) as a failed setting.
OpenOutcome systemOpenOutcome(const QString& device)
{
#ifndef Q_OS_WIN
    Q_UNUSED(device);
    return OpenOutcome::Failed;
#else
    const QString path =
        device.startsWith(QLatin1String("\\\\.\\")) ? device : QStringLiteral("\\\\.\\") + device;
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenOutcome::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenOutcome::InUse;
        default:
            return OpenOutcome::Failed;
        }
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    const bool serial = ::GetCommState(handle, &settings);
    ::CloseHandle(handle);
    return serial ? OpenOutcome::Failed : OpenOutcome::NotFound;
#endif
}

} // namespace

struct DevicePort::State
{
    QSerialPort* port = nullptr;
};

DevicePort::DevicePort(QObject* parent) : QObject(parent), d_(std::make_unique<State>())
{
    QSerialPort* port = d_->port = new QSerialPort(this);
    connect(port, &QSerialPort::readyRead, this, &DevicePort::readyRead);
    // A device that went away keeps the port readable for ever: close it rather than spin on it,
    // and the exchange ends through the reply timeout.
    connect(port, &QSerialPort::errorOccurred, this, [port](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ResourceError || !port->isOpen()) return;
        port->close();
        port->clearError();
    });
}

DevicePort::~DevicePort() = default;

void DevicePort::setLockFolders(const QStringList& folders)
{
    Q_UNUSED(folders);
}

OpenOutcome DevicePort::open(const QString& device, Refusal* why)
{
    QSerialPort& port = *d_->port;
    close();
    port.setPortName(device);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setReadBufferSize(ReadLimit);
    if (port.open(QIODevice::ReadWrite)) return OpenOutcome::Opened;
    const QSerialPort::SerialPortError error = port.error();
    why->reason = port.errorString();
    port.clearError();
    if (port.isOpen()) port.close();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenOutcome::NotFound;
    case QSerialPort::PermissionError: // access denied: another program has it
        return OpenOutcome::InUse;
    default:
        return systemOpenOutcome(device);
    }
}

void DevicePort::close()
{
    if (d_->port->isOpen()) d_->port->close();
    d_->port->clearError();
}

bool DevicePort::isOpen() const
{
    return d_->port->isOpen();
}

bool DevicePort::write(const QByteArray& bytes, std::chrono::milliseconds wait)
{
    QSerialPort& port = *d_->port;
    if (!port.isOpen() || port.write(bytes) != bytes.size()) return false;
    port.flush();
    if (port.bytesToWrite() > 0) port.waitForBytesWritten(int(wait.count()));
    return port.bytesToWrite() == 0;
}

qint64 DevicePort::bytesAvailable() const
{
    return d_->port->isOpen() ? d_->port->bytesAvailable() : 0;
}

QByteArray DevicePort::readAll()
{
    return d_->port->isOpen() ? d_->port->readAll() : QByteArray();
}

void DevicePort::clearInput()
{
    if (d_->port->isOpen()) d_->port->clear(QSerialPort::Input);
}

} // namespace tesvaron
