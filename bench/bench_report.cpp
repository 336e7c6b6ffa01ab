// Rendering a 99-record inspection report (A4, two pages, CJK fonts embedded) to a PDF file:
// wall time per render, the first one (fonts loaded cold) and the median of the rest.
//
// Usage: bench_report [runs]     (default 10)

#include "report/inspection_report.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int runs = std::max(2, argc > 1 ? std::atoi(argv[1]) : 10);
    using namespace tesvaron;

    InspectionReport r;
    r.fields.lineName = QStringLiteral("110kV 青山线");
    r.fields.operatorName = QStringLiteral("张伟");
    r.fields.conclusion = QStringLiteral("合格");
    r.started = QDateTime::currentDateTime();
    r.ended = r.started.addSecs(1);
    r.port = {QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")};
    r.reported = 99;
    for (int i = 1; i <= 99; ++i) {
        HistoryRow row;
        row.no = i;
        row.value.texts = historyTexts(std::uint16_t(i * 37), std::uint16_t(i * 11), 1);
        r.rows.append(row);
    }

    QTemporaryDir dir;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QString error = renderInspectionReport(r, dir.filePath("report.pdf"));
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "render failed: %s\n", qPrintable(error));
            return 1;
        }
    }
    const double first = ms.front();
    std::vector<double> rest(ms.begin() + 1, ms.end());
    std::sort(rest.begin(), rest.end());
    std::printf("report, 99 records: first render %.1f ms, median of %zu more %.1f ms, max %.1f ms "
                "(goal <= 2000 ms)\n",
                first, rest.size(), rest[rest.size() / 2], std::max(first, rest.back()));
    return 0;
}
