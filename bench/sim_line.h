#pragma once
// The simulated instrument for the benchmarks: tesvaron-sim on COM1 in a private port-link
// folder whose other numbers name nothing, so no real serial port is touched.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <ctime>

namespace tesvaron::bench {

inline qint64 monotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

class SimLine
{
public:
    explicit SimLine(const QStringList& args)
    {
        for (int com = 2; com <= 16; ++com)
            QFile::link(dir_.filePath(QStringLiteral("absent")),
                        dir_.filePath(QStringLiteral("COM%1").arg(com)));
        sim_.setProcessEnvironment(environment());
        sim_.setProcessChannelMode(QProcess::MergedChannels);
        sim_.start(QStringLiteral(TESVARON_SIM_BINARY),
                   QStringList{QStringLiteral("--com"), "1"} + args);
        if (!sim_.waitForStarted(5000)) return;
        const QDeadlineTimer deadline(10000);
        while (!sim_.canReadLine() && !deadline.hasExpired())
            if (!sim_.waitForReadyRead(int(deadline.remainingTime()))) break;
        ok_ = sim_.readLine().contains(" -> ");
    }

    ~SimLine()
    {
        if (sim_.state() == QProcess::NotRunning) return;
        sim_.terminate();
        sim_.waitForFinished(5000);
    }

    bool ok() const { return ok_; }
    QString folder() const { return dir_.path(); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESVARON_PORTS"), dir_.path());
        return env;
    }

    // What the simulator has logged since the last call.
    QByteArray drainLog()
    {
        sim_.waitForReadyRead(50);
        return sim_.readAll();
    }

private:
    QTemporaryDir dir_;
    QProcess sim_;
    bool ok_ = false;
};

} // namespace tesvaron::bench
