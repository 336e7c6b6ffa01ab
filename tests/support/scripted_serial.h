#pragma once
// A serial backend for tests: chosen COM numbers open, the rest fail as told; what the program
// writes is recorded with the virtual time, and replies come from a responder (for instance the
// in-process simulated instrument) through the virtual clock, paced like a 9600 baud line.

#include "platform/periodic_timer.h"
#include "platform/serial_backend.h"

#include <QByteArray>
#include <QMap>
#include <chrono>
#include <functional>
#include <vector>

namespace tesvaron::test {

struct Written
{
    std::chrono::milliseconds at;
    int com;
    QByteArray bytes;
};

class ScriptedSerial : public SerialBackend
{
public:
    struct Chunk
    {
        std::chrono::milliseconds delay;
        QByteArray bytes;
    };
    using Responder = std::function<std::vector<Chunk>(int com, const QByteArray& written)>;

    explicit ScriptedSerial(VirtualClock* clock) : clock_(clock) {}

    // COM numbers not listed fail with NotFound.
    void setOutcome(int com, OpenOutcome outcome) { outcomes_[com] = outcome; }
    void setResponder(Responder responder) { responder_ = std::move(responder); }

    // Puts bytes into the receive buffer now, as if they had just arrived.
    void deliver(const QByteArray& bytes);

    const std::vector<Written>& written() const { return written_; }
    int opens() const { return opens_; }

    OpenOutcome open(int comNumber, QString* detail) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return rx_.size(); }
    QByteArray readAll() override;
    void clearInput() override { rx_.clear(); }
    void clearOutput() override {}

private:
    VirtualClock* clock_;
    QMap<int, OpenOutcome> outcomes_;
    Responder responder_;
    bool open_ = false;
    int com_ = 0;
    int session_ = 0; // bumps at every open and close: replies to an older session are lost
    int opens_ = 0;
    QByteArray rx_;
    std::vector<Written> written_;
};

} // namespace tesvaron::test
