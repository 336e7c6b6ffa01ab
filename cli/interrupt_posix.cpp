#include "cli/serial_line.h"

#include "platform/signal_pipe.h"

#include <csignal>

namespace tesvaron::cli {

Interrupt::Interrupt(QObject* parent) : QObject(parent)
{
    auto* pipe = new SignalPipe({SIGINT, SIGTERM}, this);
    connect(pipe, &SignalPipe::raised, this, &Interrupt::raise);
}

void Interrupt::raise()
{
    raised_ = true;
    emit triggered();
}

} // namespace tesvaron::cli
