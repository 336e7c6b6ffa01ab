#pragma once
// Shrinks a long run of readings to what a chart of a given width can show: per pixel column the
// lowest and the highest value, in the order they came, so a day of readings draws as fast as a
// minute and no spike is smoothed away. Breaks where the instrument was lost stay breaks.

#include <QList>
#include <QPointF>
#include <QtGlobal>
#include <span>

namespace tesvaron {

// One accepted reading as the trend keeps it.
struct TrendSample
{
    qint64 ms = 0;          // milliseconds since the epoch (UTC)
    float groundKv = 0.0f;  // voltage to ground
    float currentA = 0.0f;  // line current
    bool overRange = false; // the instrument read 600 kV or more: shown as a mark, not a value
    bool gapBefore = false; // the instrument was lost (or a new session began) before this one
};

// Unbroken stretches of one quantity, x in milliseconds since the epoch, y in its unit.
using TrendRuns = QList<QList<QPointF>>;

struct ReducedTrend
{
    TrendRuns ground;
    TrendRuns current;
    QList<qreal> overRange; // x of each pixel column holding an over-range reading
    float maxGround = 0.0f; // of the drawn values, for the axes
    float maxCurrent = 0.0f;
};

// Readings further apart than this are not joined by a line: three polls missed in a row.
inline constexpr qint64 TrendMaxStepMs = 3 * 1500 + 2500;

// Reduces the samples (sorted by time) that fall in [fromMs, toMs) to `columns` pixel columns.
ReducedTrend reduceTrend(std::span<const TrendSample> samples, qint64 fromMs, qint64 toMs,
                         int columns, qint64 maxStepMs = TrendMaxStepMs);

} // namespace tesvaron
