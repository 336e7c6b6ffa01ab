// tesvaron-cli read of 99 records over a real pseudo-terminal against tesvaron-sim at 9600 baud
// pacing: the whole process, start to exit, against the line limit, which is the bytes
// exchanged at 10 bits a byte plus the simulator's turnaround for every exchange.
//
// Usage: bench_cli_read [runs]     (default 5)

#include "bench/sim_line.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using tesvaron::bench::monotonicNs;

constexpr int TurnaroundMs = 5;
constexpr double Baud = 9600.0;

// What one run put on the line, from the simulator's log ("<ms> rx|tx <hex bytes>").
struct LineTraffic
{
    int requests = 0;
    int replies = 0;
    int bytes = 0;
};

LineTraffic traffic(const QByteArray& log)
{
    LineTraffic t;
    static const QRegularExpression entry(QStringLiteral("^\\s*\\d+ (rx|tx) ([0-9A-F ]+)$"),
                                          QRegularExpression::MultilineOption);
    for (auto it = entry.globalMatch(QString::fromLatin1(log)); it.hasNext();) {
        const auto m = it.next();
        (m.captured(1) == QLatin1String("rx") ? t.requests : t.replies) += 1;
        t.bytes += int(m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
    }
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QCoreApplication app(argc, argv);
    tesvaron::bench::SimLine sim({QStringLiteral("--records"), QStringLiteral("99"),
                                  QStringLiteral("--turnaround"), QString::number(TurnaroundMs),
                                  QStringLiteral("-v")});
    if (!sim.ok()) {
        std::fprintf(stderr, "bench_cli_read: tesvaron-sim did not start\n");
        return 1;
    }
    const QString output = sim.folder() + QStringLiteral("/history.csv");

    std::vector<double> times;
    LineTraffic line;
    for (int i = 0; i < runs; ++i) {
        sim.drainLog();
        QProcess cli;
        cli.setProcessEnvironment(sim.environment());
        const qint64 t0 = monotonicNs();
        cli.start(QStringLiteral(TESVARON_CLI_BINARY),
                  {QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("COM1"),
                   QStringLiteral("-o"), output});
        if (!cli.waitForFinished(30000) || cli.exitCode() != 0) {
            std::fprintf(stderr, "bench_cli_read: run %d failed: %s\n", i + 1,
                         cli.readAllStandardError().constData());
            return 1;
        }
        times.push_back(double(monotonicNs() - t0) / 1e6);
        line = traffic(sim.drainLog());
        if (line.replies != 11) {
            std::fprintf(stderr, "bench_cli_read: run %d: %d replies, not 11\n", i + 1,
                         line.replies);
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double lineMs = line.bytes * 10.0 / Baud * 1000.0;
    const double limitMs = lineMs + line.replies * TurnaroundMs;
    std::printf("99-record read over a pty at 9600 baud pacing, process start to exit (%d runs): "
                "median %.0f ms, min %.0f ms, max %.0f ms\n",
                runs, median, times.front(), times.back());
    std::printf("%d exchanges, %d bytes (%d requests, %d replies): line time %.0f ms + turnaround "
                "%d x %d ms = %.0f ms; ratio %.3f (goal <= 1.02)\n",
                line.replies, line.bytes, line.requests, line.replies, lineMs, line.replies,
                TurnaroundMs, limitMs, median / limitMs);
    return 0;
}
