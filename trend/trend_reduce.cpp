#include "trend/trend_reduce.h"

#include <algorithm>

namespace tesvaron {

namespace {

// The extremes of one quantity inside one pixel column of one run.
struct ColumnSpan
{
    qint64 minMs = 0, maxMs = 0;
    float min = 0.0f, max = 0.0f;
    bool empty = true;

    void add(qint64 ms, float v)
    {
        if (empty || v < min) min = v, minMs = ms;
        if (empty || v > max) max = v, maxMs = ms;
        empty = false;
    }
    // Both extremes in the order they were read; one point when they are the same reading.
    void flushTo(QList<QPointF>& run)
    {
        if (empty) return;
        if (minMs == maxMs) {
            run.append(QPointF(qreal(minMs), min));
        } else if (minMs < maxMs) {
            run.append(QPointF(qreal(minMs), min));
            run.append(QPointF(qreal(maxMs), max));
        } else {
            run.append(QPointF(qreal(maxMs), max));
            run.append(QPointF(qreal(minMs), min));
        }
        empty = true;
    }
};

struct Trace
{
    TrendRuns runs;
    QList<QPointF> run;
    ColumnSpan span;

    void endColumn() { span.flushTo(run); }
    void endRun()
    {
        endColumn();
        if (!run.isEmpty()) runs.append(std::move(run));
        run = {};
    }
};

} // namespace

ReducedTrend reduceTrend(std::span<const TrendSample> samples, qint64 fromMs, qint64 toMs,
                         int columns, qint64 maxStepMs)
{
    ReducedTrend out;
    if (columns <= 0 || toMs <= fromMs) return out;
    const auto byTime = [](const TrendSample& s, qint64 ms) { return s.ms < ms; };
    const auto first = std::lower_bound(samples.begin(), samples.end(), fromMs, byTime);
    const auto last = std::lower_bound(first, samples.end(), toMs, byTime);
    const qint64 span = toMs - fromMs;

    Trace ground, current;
    qint64 column = -1, markedColumn = -1;
    const TrendSample* previous = nullptr;
    for (auto it = first; it != last; ++it) {
        const TrendSample& s = *it;
        const qint64 c = (s.ms - fromMs) * columns / span;
        const bool broken = !previous || s.gapBefore || previous->overRange || s.overRange ||
                            s.ms - previous->ms > maxStepMs;
        if (broken) {
            ground.endRun();
            current.endRun();
        } else if (c != column) {
            ground.endColumn();
            current.endColumn();
        }
        column = c;
        previous = &s;
        if (s.overRange) {
            if (c != markedColumn) out.overRange.append(qreal(s.ms));
            markedColumn = c;
            continue;
        }
        ground.span.add(s.ms, s.groundKv);
        current.span.add(s.ms, s.currentA);
        out.maxGround = std::max(out.maxGround, s.groundKv);
        out.maxCurrent = std::max(out.maxCurrent, s.currentA);
    }
    ground.endRun();
    current.endRun();
    out.ground = std::move(ground.runs);
    out.current = std::move(current.runs);
    return out;
}

} // namespace tesvaron
