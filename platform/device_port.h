#pragma once
// One serial device, opened at 9600 8N1, raw, without flow control. At most ReadLimit received
// bytes are held unread: beyond that nothing more is taken from the driver until they are read,
// so a device that sends without end cannot fill memory. POSIX terminals on Linux, the serial
// library on Windows.

#include "platform/serial_backend.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

namespace tesvaron {

class DevicePort : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype ReadLimit = 4096;

    explicit DevicePort(QObject* parent = nullptr);
    ~DevicePort() override;

    // Where other programs' lock files are looked for (POSIX); the system's folders by default.
    void setLockFolders(const QStringList& folders);
    // Why an open failed: the system's words, or the process a lock file names, or a holder
    // that only flocks the device.
    struct Refusal
    {
        QString reason;
        qint64 lockHolder = 0;
        bool flocked = false;
    };
    OpenOutcome open(const QString& device, Refusal* why);
    void close();
    bool isOpen() const;
    // True once every byte is handed to the driver, within `wait`.
    bool write(const QByteArray& bytes, std::chrono::milliseconds wait);
    qint64 bytesAvailable() const;
    QByteArray readAll();
    void clearInput();

signals:
    void readyRead();

private:
    struct State;
    std::unique_ptr<State> d_;
};

} // namespace tesvaron
