// CPU time and peak memory of the real program while it polls the simulated instrument: the
// tesvaron executable is started against tesvaron-sim on COM1 (9600 baud pacing), left to find
// it and settle, and then measured from outside through /proc for the given time.
//
// Usage: bench_polling [seconds]      (default 60; the platform comes from QT_QPA_PLATFORM)

#include "bench/sim_line.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

using tesvaron::bench::monotonicNs;

// CPU time of a process so far: from schedstat in nanoseconds, else utime + stime in ticks.
qint64 cpuNs(qint64 pid)
{
    QFile sched(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (sched.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const qint64 ns = sched.readAll().split(' ').value(0).toLongLong(&ok);
        if (ok) return ns;
    }
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which ends with the last ')': state is field 3.
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = f.value(11).toLongLong() + f.value(12).toLongLong(); // utime, stime
    return ticks * 1'000'000'000 / ::sysconf(_SC_CLK_TCK);
}

qint64 statusKb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int realtimeRequests(const QByteArray& log)
{
    return int(log.count("A1 04 06 00 00 02"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const char* platform = std::getenv("QT_QPA_PLATFORM");

    tesvaron::bench::SimLine sim(
        {QStringLiteral("--records"), QStringLiteral("25"), QStringLiteral("-v")});
    if (!sim.ok()) {
        std::fprintf(stderr, "bench_polling: tesvaron-sim did not start\n");
        return 1;
    }
    QProcess program;
    program.setProcessEnvironment(sim.environment());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(TESVARON_BINARY), {});
    if (!program.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_polling: tesvaron did not start\n");
        return 1;
    }
    const qint64 pid = program.processId();

    // Discovery finds COM1 at 0.6 s and polling starts 1.5 s after the next tick.
    QThread::sleep(5);
    const int before = realtimeRequests(sim.drainLog());
    if (before == 0) {
        std::fprintf(stderr, "bench_polling: the program is not polling the simulator\n");
        return 1;
    }
    const qint64 cpu0 = cpuNs(pid);
    const qint64 t0 = monotonicNs();
    QThread::sleep(unsigned(seconds));
    const qint64 cpu1 = cpuNs(pid);
    const qint64 t1 = monotonicNs();
    const int polls = realtimeRequests(sim.drainLog());
    const qint64 hwm = statusKb(pid, "VmHWM:");
    const qint64 rss = statusKb(pid, "VmRSS:");
    program.terminate();
    program.waitForFinished(5000);

    const double cpuMs = double(cpu1 - cpu0) / 1e6;
    const double wallMs = double(t1 - t0) / 1e6;
    std::printf("polling the simulator (%s), %.1f s measured after a 5 s start:\n",
                platform ? platform : "default platform", wallMs / 1000);
    std::printf("  %d realtime requests answered, CPU %.1f ms = %.3f %% of one core "
                "(%.2f ms a poll)\n",
                polls, cpuMs, 100.0 * cpuMs / wallMs, polls ? cpuMs / polls : 0.0);
    std::printf("  peak resident memory (VmHWM) %.1f MB, resident now (VmRSS) %.1f MB\n",
                double(hwm) / 1024, double(rss) / 1024);
    return 0;
}
