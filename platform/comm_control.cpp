#include "platform/comm_control.h"

namespace tesvaron {

CommControl::CommControl(SerialBackend* backend, QObject* parent)
    : QObject(parent), backend_(backend)
{
    backend_->setParent(this);
    connect(backend_, &SerialBackend::readyRead, this, &CommControl::received);
}

bool CommControl::PortOpen() const
{
    return backend_->isOpen();
}

int CommControl::setPortOpen(bool open)
{
    if (!open) {
        backend_->close();
        return 0;
    }
    if (backend_->isOpen()) {
        outcome_ = OpenOutcome::Opened;
        return 0;
    }
    outcome_ = backend_->open(commPort_, &detail_);
    switch (outcome_) {
    case OpenOutcome::Opened:
        return 0;
    case OpenOutcome::InUse:
        return ErrPortInUse;
    case OpenOutcome::NotFound:
        return ErrNoSuchPort;
    case OpenOutcome::NoPermission:
        return ErrNoPermission;
    case OpenOutcome::Failed:
        break;
    }
    return ErrOther;
}

bool CommControl::setOutput(const QByteArray& bytes)
{
    return backend_->write(bytes);
}

int CommControl::InBufferCount() const
{
    return int(backend_->bytesAvailable());
}

void CommControl::setInBufferCount(int zero)
{
    Q_UNUSED(zero);
    backend_->clearInput();
}

void CommControl::setOutBufferCount(int zero)
{
    Q_UNUSED(zero);
    backend_->clearOutput();
}

QByteArray CommControl::Input()
{
    return backend_->readAll();
}

void CommControl::received()
{
    if (threshold_ <= 0 || !backend_->isOpen()) return;
    if (backend_->bytesAvailable() < threshold_) return;
    commEvent_ = EventReceive;
    emit OnComm();
}

} // namespace tesvaron
