#include "tests/support/scripted_serial.h"

namespace tesvaron::test {

using namespace std::chrono_literals;

void ScriptedSerial::deliver(const QByteArray& bytes)
{
    if (!open_) return;
    rx_ += bytes;
    emit readyRead();
}

OpenOutcome ScriptedSerial::open(int comNumber, QString* detail)
{
    const OpenOutcome outcome = outcomes_.value(comNumber, OpenOutcome::NotFound);
    if (detail) *detail = QStringLiteral("scripted COM%1").arg(comNumber);
    if (outcome != OpenOutcome::Opened) return outcome;
    open_ = true;
    com_ = comNumber;
    ++session_;
    ++opens_;
    rx_.clear();
    return outcome;
}

void ScriptedSerial::close()
{
    if (!open_) return;
    open_ = false;
    ++session_;
    rx_.clear();
}

bool ScriptedSerial::write(const QByteArray& bytes)
{
    if (!open_) return false;
    written_.push_back({clock_->now(), com_, bytes});
    if (!responder_) return true;
    // The request itself takes line time before the instrument has it.
    const auto requestTime = std::chrono::milliseconds(bytes.size());
    const int session = session_;
    for (const Chunk& chunk : responder_(com_, bytes)) {
        // Each byte lands about 1.04 ms after the one before it, so a reply arrives byte by byte.
        auto at = clock_->now() + requestTime + chunk.delay;
        for (int i = 0; i < chunk.bytes.size(); ++i) {
            at += 1ms;
            const char byte = chunk.bytes.at(i);
            clock_->schedule(at, [this, session, byte] {
                if (session == session_) deliver(QByteArray(1, byte));
            });
        }
    }
    return true;
}

QByteArray ScriptedSerial::readAll()
{
    QByteArray all;
    all.swap(rx_);
    return all;
}

} // namespace tesvaron::test
