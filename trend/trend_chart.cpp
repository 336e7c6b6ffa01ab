#include "trend/trend_chart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace tesvaron {

namespace {

const QColor GroundColor(31, 94, 170);
const QColor CurrentColor(214, 110, 20);
const QColor OverRangeColor(200, 30, 30);

// 1, 2 or 5 times a power of ten, at least v (and at least 1).
qreal niceCeiling(qreal v)
{
    if (v <= 1) return 1;
    const qreal base = std::pow(10.0, std::floor(std::log10(v)));
    for (qreal step : {1.0, 2.0, 5.0})
        if (v <= step * base * 1.0000001) return step * base;
    return 10 * base;
}

} // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent)
{
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignTop);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    time_ = new QDateTimeAxis;
    time_->setFormat(QStringLiteral("HH:mm"));
    time_->setTickCount(7);
    ground_ = new QValueAxis;
    ground_->setTitleText(QStringLiteral("对地电压 (kV)"));
    ground_->setLabelsColor(GroundColor);
    current_ = new QValueAxis;
    current_->setTitleText(QStringLiteral("电流 (A)"));
    current_->setLabelsColor(CurrentColor);
    chart_->addAxis(time_, Qt::AlignBottom);
    chart_->addAxis(ground_, Qt::AlignLeft);
    chart_->addAxis(current_, Qt::AlignRight);

    overRange_ = new QScatterSeries;
    overRange_->setName(QStringLiteral("超量程"));
    overRange_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    overRange_->setMarkerSize(9);
    overRange_->setColor(OverRangeColor);
    overRange_->setBorderColor(OverRangeColor);
    chart_->addSeries(overRange_);
    overRange_->attachAxis(time_);
    overRange_->attachAxis(ground_);

    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    // Both quantities named in the legend even before the first reading.
    fill(groundRuns_, {}, ground_, GroundColor, ground_->titleText());
    fill(currentRuns_, {}, current_, CurrentColor, current_->titleText());
}

void TrendChart::setSamples(QList<TrendSample> samples)
{
    samples_ = std::move(samples);
}

void TrendChart::append(const TrendSample& sample)
{
    if (samples_.size() >= MaxSamples) samples_.remove(0, samples_.size() - MaxSamples + 1);
    samples_.append(sample);
}

void TrendChart::setSpan(qint64 fromMs, qint64 toMs)
{
    from_ = fromMs;
    to_ = std::max(toMs, fromMs + 1);
}

void TrendChart::fill(QList<QLineSeries*>& pool, const TrendRuns& runs, QValueAxis* axis,
                      const QColor& color, const QString& name)
{
    // One series per unbroken run; the pool only grows, spare series are emptied.
    while (pool.size() < std::max<qsizetype>(1, runs.size())) {
        auto* series = new QLineSeries;
        series->setPen(QPen(color, 1.5));
        series->setName(name);
        chart_->addSeries(series);
        series->attachAxis(time_);
        series->attachAxis(axis);
        const QList<QLegendMarker*> markers = chart_->legend()->markers(series);
        for (QLegendMarker* marker : markers)
            marker->setVisible(pool.isEmpty());
        pool.append(series);
    }
    for (qsizetype i = 0; i < pool.size(); ++i)
        pool[i]->replace(i < runs.size() ? runs[i] : QList<QPointF>{});
}

void TrendChart::redraw()
{
    const int columns = std::max(1, int(chart_->plotArea().width()));
    drawn_ = reduceTrend(samples_, from_, to_, columns);
    const qreal groundTop = niceCeiling(drawn_.maxGround * 1.05);
    ground_->setRange(0, groundTop);
    current_->setRange(0, niceCeiling(drawn_.maxCurrent * 1.05));
    time_->setRange(QDateTime::fromMSecsSinceEpoch(from_), QDateTime::fromMSecsSinceEpoch(to_));
    // Seconds once the ticks are less than a couple of minutes apart.
    const qint64 span = to_ - from_;
    time_->setFormat(span > 24 * 3600 * 1000LL ? QStringLiteral("MM-dd HH:mm")
                     : span > 15 * 60 * 1000LL ? QStringLiteral("HH:mm")
                                               : QStringLiteral("HH:mm:ss"));
    fill(groundRuns_, drawn_.ground, ground_, GroundColor, ground_->titleText());
    fill(currentRuns_, drawn_.current, current_, CurrentColor, current_->titleText());
    QList<QPointF> marks;
    // Just below the top edge, where the marker is drawn whole.
    for (qreal ms : drawn_.overRange)
        marks.append(QPointF(ms, groundTop * 0.96));
    overRange_->replace(marks);
}

} // namespace tesvaron
