#include "cli/serial_line.h"

#include <QMetaObject>
#include <atomic>

#include <windows.h>

namespace tesvaron::cli {

namespace {

std::atomic<Interrupt*> listener{nullptr};

} // namespace

Interrupt::Interrupt(QObject* parent) : QObject(parent)
{
    listener = this;
    // Runs on a thread of the console's own; the event loop takes it from there.
    const PHANDLER_ROUTINE onConsoleEvent = [](DWORD event) -> BOOL {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
            return FALSE;
        if (Interrupt* target = listener.load())
            QMetaObject::invokeMethod(
                target, [target] { target->raise(); }, Qt::QueuedConnection);
        return TRUE;
    };
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void Interrupt::raise()
{
    raised_ = true;
    emit triggered();
}

} // namespace tesvaron::cli
