#pragma once
// The byte pipe under the comm control: a real serial device, or an in-process peer in tests.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tesvaron {

class DevicePort;

enum class OpenOutcome {
    Opened,
    NotFound,     // the number names no usable device
    InUse,        // another program holds the device
    NoPermission, // the user may not open the device (not in the dialout group)
    Failed,       // anything else; the port stays closed
};

// How an open's outcome reads after the port's name ("COM3被占用"): 已打开, 无效, 被占用, 无权限,
// 打开失败. The window's port status and tesvaron-cli's port list both say it this way.
QString openOutcomeText(OpenOutcome outcome);

class SerialBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens COM n at 9600 8N1 without flow control. `detail` names the device it resolved to
    // and, on failure, the system's reason.
    virtual OpenOutcome open(int comNumber, QString* detail) = 0;
    // The device the last open resolved COM n to (after links); empty when it named none.
    virtual QString device() const = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Returns once the bytes are handed to the driver, so a clear of the send queue cannot cut
    // them.
    virtual bool write(const QByteArray& bytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void clearInput() = 0;
    virtual void clearOutput() = 0;

signals:
    void readyRead();
};

// SerialBackend over the machine's serial devices, with COM numbers mapped by the port map.
class QtSerialBackend : public SerialBackend
{
    Q_OBJECT
public:
    explicit QtSerialBackend(QObject* parent = nullptr);

    // Opens this device instead of what the COM number names (a device the user gave).
    void setFixedDevice(const QString& path) { fixed_ = path; }
    // Where other programs' lock files are looked for; the system's lock folders by default.
    void setLockFolders(const QStringList& folders);
    OpenOutcome open(int comNumber, QString* detail) override;
    QString device() const override { return device_; }
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void clearInput() override;
    void clearOutput() override;

private:
    DevicePort* port_;
    QString device_;
    QString fixed_;
};

} // namespace tesvaron
