// What filing costs the link: wall and CPU time per realtime reading and per ten-record history
// block written into a real SQLite archive (WAL) on this disk, against the 1.5 s polling period.
//
// Usage: bench_archive [readings]      (default 5000)

#include "archive/archive_store.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuUs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

double us(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

double report(const char* what, std::vector<double>& wall, double cpu)
{
    std::sort(wall.begin(), wall.end());
    const auto at = [&](double q) { return wall[std::size_t(q * double(wall.size() - 1))]; };
    std::printf("%-22s n=%-6zu median %7.1f us  p99 %7.1f us  max %8.1f us  cpu %6.1f us each\n",
                what, wall.size(), at(0.5), at(0.99), wall.back(), cpu / double(wall.size()));
    return at(0.5);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int readings = argc > 1 ? std::max(100, std::atoi(argv[1])) : 5000;
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-archive-XXXXXX"));
    tesvaron::archive::Store store({dir.filePath(QStringLiteral("archive.sqlite")), {}});
    if (!store.isAvailable()) {
        std::fprintf(stderr, "bench_archive: %s\n", qPrintable(store.lastError()));
        return 1;
    }
    const tesvaron::Measurement m{12.5f, 35.f, 12.3f, false, {"13kV", "35kV", "12.3A"}};

    store.instrumentFound({QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")});
    std::vector<double> wall;
    double cpu = cpuUs();
    for (int i = 0; i < readings; ++i) {
        const auto start = Clock::now();
        store.realtimeReading({QDateTime::currentDateTime(), m});
        wall.push_back(us(Clock::now() - start));
    }
    cpu = cpuUs() - cpu;
    store.instrumentLost();
    const double reading = report("realtime reading", wall, cpu);

    QList<tesvaron::HistoryRow> block;
    for (int no = 1; no <= 10; ++no)
        block.append({no, m});
    wall.clear();
    cpu = cpuUs();
    for (int d = 0; d < readings / 100; ++d) {
        store.downloadStarted({QStringLiteral("COM3"), {}}, QDateTime::currentDateTime());
        store.downloadTotal(99);
        for (int b = 0; b < 10; ++b) {
            const auto start = Clock::now();
            store.downloadRows(block);
            wall.push_back(us(Clock::now() - start));
        }
        store.downloadEnded({true, 99, 99, QDateTime::currentDateTime()});
    }
    cpu = cpuUs() - cpu;
    report("history block (10)", wall, cpu);
    std::printf("a reading's filing (median) is %.4f%% of the 1.5 s polling period\n",
                reading / 1.5e6 * 100.0);
    return 0;
}
