#pragma once
// The trend chart: voltage to ground (left axis, kV) and current (right axis, A) against local
// time, drawn from the readings reduced to the chart's pixel columns. Lines break where the
// instrument was lost; over-range readings are red marks along the top.

#include "trend/trend_reduce.h"

#include <QList>
#include <QWidget>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace tesvaron {

class TrendChart : public QWidget
{
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);

    // The readings shown, sorted by time; the chart keeps its own copy.
    void setSamples(QList<TrendSample> samples);
    void append(const TrendSample& sample);
    const QList<TrendSample>& samples() const { return samples_; }

    // The time span drawn, [fromMs, toMs).
    void setSpan(qint64 fromMs, qint64 toMs);
    qint64 spanFrom() const { return from_; }
    qint64 spanTo() const { return to_; }

    // Reduces and hands the result to the chart's series; called after changes.
    void redraw();
    // What the last redraw drew.
    const ReducedTrend& drawn() const { return drawn_; }
    QChartView* view() const { return view_; }

    // Live readings kept at most (a week at one every 1.5 s); the oldest go first.
    static constexpr qsizetype MaxSamples = 7 * 57600;

private:
    void fill(QList<QLineSeries*>& pool, const TrendRuns& runs, QValueAxis* axis,
              const QColor& color, const QString& name);

    QList<TrendSample> samples_;
    qint64 from_ = 0, to_ = 1;
    ReducedTrend drawn_;
    QChart* chart_;
    QChartView* view_;
    QDateTimeAxis* time_;
    QValueAxis* ground_;
    QValueAxis* current_;
    QList<QLineSeries*> groundRuns_;
    QList<QLineSeries*> currentRuns_;
    QScatterSeries* overRange_;
};

} // namespace tesvaron
