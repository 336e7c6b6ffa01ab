#pragma once
// The serial port as the window uses it: open state, port number, receive threshold, write,
// waiting-byte count and clears, read-all, and a receive notification raised only once at
// least RThreshold bytes wait.

#include "platform/serial_backend.h"

#include <QObject>
#include <memory>

namespace tesvaron {

class CommControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int ErrPortInUse = 8005;
    static constexpr int ErrNoSuchPort = 8002;
    static constexpr int ErrOther = 8010;
    static constexpr int ErrNoPermission = 70;
    static constexpr int EventReceive = 2;

    // Takes ownership of the backend (parented to this control).
    explicit CommControl(SerialBackend* backend, QObject* parent = nullptr);

    bool PortOpen() const;
    // Opening returns the error number of the open (0 when it opened); closing returns 0.
    int setPortOpen(bool open);
    int CommPort() const { return commPort_; }
    void setCommPort(int port) { commPort_ = port; }
    int RThreshold() const { return threshold_; }
    void setRThreshold(int bytes) { threshold_ = bytes; }
    bool setOutput(const QByteArray& bytes);
    int InBufferCount() const;
    void setInBufferCount(int zero);
    void setOutBufferCount(int zero);
    QByteArray Input();
    int CommEvent() const { return commEvent_; }
    // How the last open went.
    OpenOutcome lastOpenOutcome() const { return outcome_; }
    // The device the last open resolved to and, after a failure, why it failed.
    QString lastOpenDetail() const { return detail_; }
    // The device COM n resolved to at the last open; empty when it named none.
    QString device() const { return backend_->device(); }

    SerialBackend* backend() const { return backend_; }

signals:
    void OnComm();

private:
    void received();

    SerialBackend* backend_;
    int commPort_ = 1;
    int threshold_ = 0;
    int commEvent_ = 0;
    QString detail_;
    OpenOutcome outcome_ = OpenOutcome::NotFound;
};

} // namespace tesvaron
