#pragma once
// A window on the system's serial ports with its timers on a virtual clock, for tests that put a
// real line under the program: a pseudo-terminal linked as COM1 and the instrument behind it,
// either the tesvaron-sim program or the simulated instrument in this process.

#include "platform/serial_backend.h"
#include "sim/instrument.h"
#include "tests/support/form_rig.h"
#include "tests/support/pty_pair.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <memory>

namespace tesvaron::test {

// The system's serial backend, noting when the window writes.
class WatchedPort : public QtSerialBackend
{
public:
    explicit WatchedPort(VirtualClock* clock) : clock_(clock) {}

    bool write(const QByteArray& bytes) override
    {
        lastWriteAt = clock_->now();
        sinceWrite.start();
        ++writes;
        return QtSerialBackend::write(bytes);
    }

    std::chrono::milliseconds lastWriteAt{0}; // virtual time of the last request
    QElapsedTimer sinceWrite;                 // real time since then
    int writes = 0;

private:
    VirtualClock* clock_;
};

// A program beside the test: the tesvaron-sim program on COM1, or a second program holding a
// serial device open (this test binary run again with TESVARON_HOLD_PORT set; holdPortMain() is
// its whole life).
class ChildProcess
{
public:
    ~ChildProcess() { stop(); }
    // Starts the simulator with `args`; returns the pseudo-terminal it announces, or nothing.
    QString startSim(const QStringList& args);
    // Starts a holder of `device`; true once it holds it.
    bool hold(const QString& device);
    // SIGKILL: the device vanishes at once and its link is left pointing nowhere.
    void kill();
    // Ends it, and a holder lets go.
    void stop();

private:
    QString firstLine();

    QProcess proc_;
};

// The window, and a port-link folder of its own where COM1 is for the test to point and
// COM2..COM16 name nothing, so the machine's own serial ports never come into play.
class LineWindow
{
public:
    static constexpr std::chrono::milliseconds Step{10};
    // Real time the line gets for a reply before virtual time moves on without it.
    static constexpr int GraceMs = 750;

    LineWindow();

    // One step: lets an open request's reply in, then runs Step of virtual time.
    void step();
    // Steps until pred() holds or `limit` of virtual time has passed; returns pred().
    bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit);
    void run(std::chrono::milliseconds span)
    {
        runUntil([] { return false; }, span);
    }
    // Points COM1 at `target` (replacing whatever link is there).
    bool pointCom1At(const QString& target);
    QString com1() const { return ports_.path() + QStringLiteral("/COM1"); }

private:
    PortFolder ports_;

public:
    VirtualClock clock;
    WatchedPort* port = nullptr;
    RecordingMessageBox* boxes = nullptr;
    std::unique_ptr<Form1> form;
    ChildProcess sim; // tesvaron-sim, when the test starts it
};

// The simulated instrument in this process, answering on a pseudo-terminal. `edit` may replace a
// reply (an empty result sends nothing).
class PtyInstrument : public QObject
{
public:
    using Edit = std::function<QByteArray(const QByteArray& request, const QByteArray& reply)>;

    PtyInstrument(sim::SimConfig config, Edit edit);
    bool ok() const { return pty_.ok(); }
    QString slavePath() const { return pty_.slavePath(); }
    const sim::Instrument& instrument() const { return instrument_; }

private:
    void readRequests();

    PtyPair pty_;
    sim::Instrument instrument_;
    Edit edit_;
    QByteArray pending_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Call first thing in main(): returns the exit code when this process is a port holder, else -1.
int holdPortMain(int argc, char** argv);

} // namespace tesvaron::test
