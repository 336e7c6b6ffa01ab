#pragma once
// POSIX signals delivered to the event loop: the handler only writes a byte to a pipe, and the
// loop reads it and raises `raised`, so a program can end cleanly (remove its links, finish a
// file). One per process.

#include <QObject>
#include <initializer_list>

class QSocketNotifier;

namespace tesvaron {

class SignalPipe : public QObject
{
    Q_OBJECT
public:
    explicit SignalPipe(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    // False when the pipe could not be made; no signal is then caught.
    bool ok() const { return notifier_ != nullptr; }

signals:
    void raised();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tesvaron
