#include "cli/serial_line.h"

#include "link/request_frame.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace tesvaron::cli {

Line::Line(const PortChoice& port, Interrupt& interrupt, QObject* parent)
    : QObject(parent), port_(port), interrupt_(interrupt)
{
    backend_ = std::make_unique<QtSerialBackend>();
    if (port.com == 0) backend_->setFixedDevice(port.device);
}

OpenOutcome Line::open(QString* detail)
{
    if (backend_->isOpen()) return OpenOutcome::Opened;
    return backend_->open(port_.com, detail);
}

void Line::close()
{
    backend_->close();
}

QString Line::device() const
{
    return backend_->device();
}

QString Line::label() const
{
    if (port_.com == 0) return port_.device;
    const QString com = QStringLiteral("COM%1").arg(port_.com);
    return device().isEmpty() ? com : QStringLiteral("%1 (%2)").arg(com, device());
}

Exchange Line::exchange(std::uint8_t kind, std::int16_t start, std::int16_t count,
                        std::chrono::milliseconds timeout)
{
    Exchange result;
    const auto fail = [&](ExchangeEnd end) {
        result.end = end;
        close();
        return result;
    };
    if (interrupt_.raised()) return fail(ExchangeEnd::Interrupted);
    if (open(&result.detail) != OpenOutcome::Opened) return fail(ExchangeEnd::PortError);

    const RequestFrame request = buildRequest(kind, start, count);
    // Stale bytes (a late reply to an earlier request) go before the request, not after as in
    // the window: a reply that starts at once must not be cut.
    backend_->readAll();
    backend_->clearInput();
    if (!backend_->write(QByteArray(reinterpret_cast<const char*>(request.bytes.data()),
                                    qsizetype(request.bytes.size())))) {
        result.detail = CliText::tr("%1: 写入失败").arg(device());
        return fail(ExchangeEnd::PortError);
    }

    // Bytes add up across notifications. A reply is taken once its own length byte and checksum
    // say it is complete: rxNeed bytes for a full reply, fewer for a refusal or a short block.
    // A reply still to be completed started within the last ReplyFrameSize bytes; anything
    // older is dropped, so a device that streams without end costs no memory.
    QByteArray rx;
    ReplyCheck check = ReplyCheck::NoFrame;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&interrupt_, &Interrupt::triggered, &loop, &QEventLoop::quit);
    connect(backend_.get(), &SerialBackend::readyRead, &loop, [&] {
        rx += backend_->readAll();
        const ReplyCheck found = findReply(rx, kind, result.frame);
        if (found != ReplyCheck::NoFrame) check = found;
        if (check == ReplyCheck::Ok) loop.quit();
        if (rx.size() > ReplyFrameSize) rx.remove(0, rx.size() - ReplyFrameSize);
    });
    timer.start(std::max(timeout, std::chrono::milliseconds::zero()));
    loop.exec();

    if (check == ReplyCheck::Ok) {
        result.end = ExchangeEnd::Reply;
        return result;
    }
    if (interrupt_.raised()) return fail(ExchangeEnd::Interrupted);
    return fail(check == ReplyCheck::BadChecksum ? ExchangeEnd::BadChecksum : ExchangeEnd::NoReply);
}

bool Line::pause(std::chrono::milliseconds span)
{
    if (interrupt_.raised()) return false;
    if (span > std::chrono::milliseconds::zero()) {
        QEventLoop loop;
        QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        connect(&interrupt_, &Interrupt::triggered, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !interrupt_.raised();
}

} // namespace tesvaron::cli
