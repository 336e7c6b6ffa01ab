// Sending one request: expected reply length, receive threshold, write, reply timer.

#include "app/form1.h"
#include "link/request_frame.h"

namespace tesvaron {

void Form1::CmdSend(std::uint8_t kind, std::int16_t start, std::int16_t count)
{
    const RequestFrame frame = buildRequest(kind, start, count);
    RxNeed = frame.rxNeed;
    MSComm1->setRThreshold(RxNeed);
    // A failed write is not reported: the exchange ends in the reply timeout.
    MSComm1->setOutput(QByteArray(reinterpret_cast<const char*>(frame.bytes.data()),
                                  qsizetype(frame.bytes.size())));
    LinkState = LinkCode::Awaiting;
    MSComm1->setInBufferCount(0);
    MSComm1->setOutBufferCount(0);
    RxCount = 0;
    // Enabling a running timer does not restart it: the timeout counts from the first request.
    enable(Timer_timeout, true);
}

void Form1::Exchange(std::uint8_t kind, std::int16_t start, std::int16_t count, SendIf when)
{
    const int error = ComOpen(ComNo);
    if (when == SendIf::Opened) {
        notePortRefusals(error);
        if (!MSComm1->PortOpen()) return;
    }
    if (when == SendIf::InstrumentThere &&
        instrumentGone(error == CommControl::ErrNoSuchPort, foundDevice_.toStdString(),
                       MSComm1->device().toStdString()))
        return loseInstrument();
    CmdSend(kind, start, count);
}

} // namespace tesvaron
