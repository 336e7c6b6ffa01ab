// Redrawing the trend chart over a 24-hour session (57,600 readings, one every 1.5 s): reducing
// to the plot's pixel columns, handing the runs to the chart's series, and painting the chart
// into an image of the window's size. Median and worst of the runs, by the clock and by the
// thread's CPU time (which a busy machine does not inflate).
//
// Usage: bench_trend [runs]     (default 50)

#include "trend/trend_chart.h"

#include <QApplication>
#include <QChartView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = std::max(3, argc > 1 ? std::atoi(argv[1]) : 50);
    using namespace tesvaron;

    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 24 * 3600 * 1000LL;
    QList<TrendSample> day;
    for (int i = 0; i < 57600; ++i) {
        const float wave = float(std::sin(i / 900.0));
        day.append({t0 + i * 1500LL, 60.0f + 20.0f * wave + float(i % 13), 120.0f + 40.0f * wave,
                    i % 5000 == 4999, i % 20000 == 0});
    }
    TrendChart chart;
    chart.resize(1000, 420);
    chart.show();
    chart.setSamples(day);
    chart.setSpan(t0, t0 + 24 * 3600 * 1000LL);
    chart.redraw();
    QImage image(chart.view()->size(), QImage::Format_ARGB32_Premultiplied);

    const auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    };
    std::vector<double> ms;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpuStart = cpuMs();
        chart.redraw();
        QPainter painter(&image);
        chart.view()->render(&painter);
        painter.end();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("trend redraw, 57600 readings into %d px: median %.2f ms, worst %.2f ms over %d "
                "runs (goal <= 16 ms); CPU median %.2f ms, worst %.2f ms; %lld points drawn\n",
                chart.view()->width(), ms[ms.size() / 2], ms.back(), runs, cpu[cpu.size() / 2],
                cpu.back(), qlonglong(chart.drawn().ground.value(0).size()));
    return 0;
}
