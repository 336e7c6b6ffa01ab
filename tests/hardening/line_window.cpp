#include "tests/hardening/line_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSerialPort>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace tesvaron::test {

using namespace std::chrono_literals;

LineWindow::LineWindow()
{
    for (int com = 2; com <= 16; ++com)
        ports_.link(com, ports_.path() + QStringLiteral("/absent"));
    Form1Seams seams;
    seams.clock = &clock;
    seams.serial = port = new WatchedPort(&clock);
    seams.messageBox.reset(boxes = new RecordingMessageBox);
    form = std::make_unique<Form1>(std::move(seams));
}

void LineWindow::step()
{
    // Bytes on a real line take real time: while a request waits for its reply the virtual
    // clock stands still, up to the grace.
    while (form->MSComm1->PortOpen() && form->LinkState == 1 && port->sinceWrite.isValid() &&
           port->sinceWrite.elapsed() < GraceMs)
        QTest::qWait(1);
    clock.advance(Step);
    QCoreApplication::processEvents();
}

bool LineWindow::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit)
{
    const auto end = clock.now() + limit;
    while (!pred()) {
        if (clock.now() >= end) return false;
        step();
    }
    return true;
}

bool LineWindow::pointCom1At(const QString& target)
{
    QFile::remove(com1());
    return ports_.link(1, target);
}

QString ChildProcess::firstLine()
{
    if (!proc_.waitForStarted(5000)) return {};
    const QDeadlineTimer deadline(10000);
    while (!proc_.canReadLine() && !deadline.hasExpired())
        if (!proc_.waitForReadyRead(int(deadline.remainingTime()))) break;
    return QString::fromLocal8Bit(proc_.readLine()).trimmed();
}

QString ChildProcess::startSim(const QStringList& args)
{
    proc_.start(QStringLiteral(TESVARON_SIM_BINARY),
                QStringList{QStringLiteral("--com"), "1"} + args);
    // "tesvaron-sim: COM1 -> /dev/pts/N"
    const QString line = firstLine();
    const qsizetype arrow = line.indexOf(QStringLiteral(" -> "));
    return arrow < 0 ? QString() : line.mid(arrow + 4);
}

bool ChildProcess::hold(const QString& device)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TESVARON_HOLD_PORT"), device);
    proc_.setProcessEnvironment(env);
    proc_.start(QCoreApplication::applicationFilePath(), {});
    return firstLine() == QLatin1String("held");
}

void ChildProcess::kill()
{
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.kill();
    proc_.waitForFinished(5000);
}

void ChildProcess::stop()
{
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.closeWriteChannel();
    proc_.terminate();
    if (!proc_.waitForFinished(5000)) kill();
}

PtyInstrument::PtyInstrument(sim::SimConfig config, Edit edit)
    : instrument_(std::move(config)), edit_(std::move(edit))
{
    if (!pty_.ok()) return;
    notifier_ = std::make_unique<QSocketNotifier>(pty_.master(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyInstrument::readRequests);
}

void PtyInstrument::readRequests()
{
    char buf[256];
    ssize_t n;
    while ((n = ::read(pty_.master(), buf, sizeof buf)) > 0)
        pending_.append(buf, qsizetype(n));
    // The window writes whole six-byte requests.
    while (pending_.size() >= sim::RequestSize) {
        const QByteArray request = pending_.left(sim::RequestSize);
        pending_.remove(0, sim::RequestSize);
        QByteArray reply;
        for (const sim::ReplyChunk& chunk : instrument_.receive(request))
            reply += chunk.bytes;
        if (edit_) reply = edit_(request, reply);
        if (!reply.isEmpty()) pty_.send(reply);
    }
}

int holdPortMain(int argc, char** argv)
{
    const QString device = qEnvironmentVariable("TESVARON_HOLD_PORT");
    if (device.isEmpty()) return -1;
    QCoreApplication app(argc, argv);
    QSerialPort port(device);
    // The window opens and closes the device around every request; take it when it is free.
    const QDeadlineTimer deadline(5000);
    while (!port.open(QIODevice::ReadWrite)) {
        if (deadline.hasExpired()) return 1;
        QThread::msleep(5);
    }
    std::printf("held\n");
    std::fflush(stdout);
    // Held until the test closes our input.
    while (std::getchar() != EOF) {
    }
    port.close();
    return 0;
}

} // namespace tesvaron::test
