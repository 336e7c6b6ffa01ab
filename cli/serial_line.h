#pragma once
// The serial line of tesvaron-cli: opening a COM number or a device, one request-and-reply
// exchange at a time, and Ctrl-C reaching the event loop.

#include "cli/cli_core.h"
#include "platform/serial_backend.h"

#include <QObject>
#include <chrono>
#include <memory>

class QSocketNotifier;

namespace tesvaron::cli {

// SIGINT and SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break and close), delivered through
// the event loop so that a command can end cleanly.
class Interrupt : public QObject
{
    Q_OBJECT
public:
    explicit Interrupt(QObject* parent = nullptr);
    bool raised() const { return raised_; }

signals:
    void triggered();

private:
    void raise();

    QSocketNotifier* notifier_ = nullptr;
    bool raised_ = false;
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
    std::unique_ptr<QtSerialBackend> backend_;
};

} // namespace tesvaron::cli
