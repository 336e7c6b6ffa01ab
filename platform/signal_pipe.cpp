#include "platform/signal_pipe.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tesvaron {

namespace {

int pipeEnds[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const auto n = ::write(pipeEnds[1], &c, 1);
}

} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signalNumbers, QObject* parent) : QObject(parent)
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    ::sigemptyset(&sa.sa_mask);
    for (int sig : signalNumbers)
        ::sigaction(sig, &sa, nullptr);
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char c;
        while (::read(pipeEnds[0], &c, 1) > 0) {
        }
        emit raised();
    });
}

} // namespace tesvaron
