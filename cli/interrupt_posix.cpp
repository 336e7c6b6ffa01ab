#include "cli/serial_line.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tesvaron::cli {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

} // namespace

Interrupt::Interrupt(QObject* parent) : QObject(parent)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    ::sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM})
        ::sigaction(sig, &sa, nullptr);
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char c;
        while (::read(signalPipe[0], &c, 1) > 0) {
        }
        raise();
    });
}

void Interrupt::raise()
{
    raised_ = true;
    emit triggered();
}

} // namespace tesvaron::cli
