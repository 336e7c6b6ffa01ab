// A 99-record history download over a real pseudo-terminal against tesvaron-sim at 9600 baud
// pacing: wall time from Read to the commands coming back, with the window's real timers and
// serial port. Each download starts from an idle line (no poll open), so the figure is the
// download itself: 606 bytes of line time (about 631 ms), eleven turnarounds and up to one 30 ms
// start tick.
//
// Usage: bench_download [runs]     (default 5)

#include "app/form1.h"
#include "app/tab_strip.h"
#include "bench/sim_line.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using tesvaron::bench::monotonicNs;

// Runs the event loop until pred() holds (checked every millisecond) or `ms` pass.
bool waitFor(const std::function<bool()>& pred, int ms)
{
    if (pred()) return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred()) loop.quit();
    });
    check.start(1);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return pred();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QApplication app(argc, argv);
    tesvaron::bench::SimLine sim({QStringLiteral("--records"), QStringLiteral("99")});
    if (!sim.ok()) {
        std::fprintf(stderr, "bench_download: tesvaron-sim did not start\n");
        return 1;
    }
    qputenv("TESVARON_PORTS", QFile::encodeName(sim.folder()));

    tesvaron::Form1 window;
    window.show();
    if (!waitFor([&] { return window.ComFound && window.Timer_real->Enabled(); }, 5000)) {
        std::fprintf(stderr, "bench_download: the window did not find the simulator\n");
        return 1;
    }
    window.TabStrip1->clickTab(2);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        window.Button_clear->click();
        // Start from an idle line: the last poll answered and its port closed.
        waitFor([&] { return window.LinkState == tesvaron::LinkCode::ReplyOk && !window.MSComm1->PortOpen(); }, 3000);
        const qint64 t0 = monotonicNs();
        window.Button_read->click();
        if (!waitFor([&] { return window.TabStrip1->isEnabled(); }, 10000)) {
            std::fprintf(stderr, "bench_download: run %d did not end\n", i + 1);
            return 1;
        }
        const double ms = double(monotonicNs() - t0) / 1e6;
        bool allRows = window.LinkState == tesvaron::LinkCode::ReplyOk;
        for (int row = 1; row <= 99; ++row)
            allRows = allRows && !window.DataGrid->TextMatrix(row, 3).isEmpty();
        if (!allRows) {
            std::fprintf(stderr, "bench_download: run %d did not bring all 99 records\n", i + 1);
            return 1;
        }
        times.push_back(ms);
        waitFor([] { return false; }, 300);
    }
    std::sort(times.begin(), times.end());
    std::printf("99-record download over a pty at 9600 baud pacing, Read to commands back "
                "(%d runs): median %.0f ms, min %.0f ms, max %.0f ms\n",
                runs, times[times.size() / 2], times.front(), times.back());
    return 0;
}
