#pragma once
// The serial line of tesvaron-cli: opening a COM number or a device, one request-and-reply
// exchange at a time, and Ctrl-C reaching the event loop.

#include "cli/cli_core.h"
#include "platform/serial_backend.h"

#include <QObject>
#include <chrono>
#include <memory>

class QSerialPort;
class QSocketNotifier;

namespace tesvaron::cli {

// SIGINT and SIGTERM, delivered through a pipe so that a command can end cleanly.
class Interrupt : public QObject
{
    Q_OBJECT
public:
    explicit Interrupt(QObject* parent = nullptr);
    bool raised() const { return raised_; }

signals:
    void triggered();

private:
    QSocketNotifier* notifier_ = nullptr;
    bool raised_ = false;
};

// A device given by its path, opened like a COM number at 9600 8N1.
class DeviceBackend : public SerialBackend
{
    Q_OBJECT
public:
    explicit DeviceBackend(const QString& path, QObject* parent = nullptr);

    OpenOutcome open(int comNumber, QString* detail) override;
    QString device() const override { return path_; }
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void clearInput() override;
    void clearOutput() override {}

private:
    QSerialPort* port_;
    QString path_;
};

// How one exchange ended.
enum class ExchangeEnd { Reply, NoReply, BadChecksum, PortError, Interrupted };

struct Exchange
{
    ExchangeEnd end = ExchangeEnd::NoReply;
    ReplyFrameBytes frame{}; // Reply: the frame without its header
    QString detail;          // PortError: the system's reason
};

// One port, used one exchange at a time. After a failed exchange the port is closed, so the
// next one opens it afresh (and resolves its COM number again, as the window does).
class Line : public QObject
{
    Q_OBJECT
public:
    Line(const PortChoice& port, Interrupt& interrupt, QObject* parent = nullptr);

    // Opens the port if it is closed.
    OpenOutcome open(QString* detail);
    void close();
    // "COM3 (/dev/pts/4)", or the device path when one was given.
    QString label() const;
    QString device() const;
    int com() const { return port_.com; }

    // Sends the request and waits for a complete reply of its kind, at most `timeout`.
    Exchange exchange(std::uint8_t kind, std::int16_t start, std::int16_t count,
                      std::chrono::milliseconds timeout);
    // Waits until `span` has passed; false when interrupted.
    bool pause(std::chrono::milliseconds span);

private:
    PortChoice port_;
    Interrupt& interrupt_;
    std::unique_ptr<SerialBackend> backend_;
};

} // namespace tesvaron::cli
