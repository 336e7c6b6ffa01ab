#include "app/trend_window.h"
#include "app/archive_dialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tesvaron {

namespace {

TrendSample trendSample(const RealtimeSample& s, bool gapBefore)
{
    return {s.at.toMSecsSinceEpoch(), s.value.groundKv, s.value.currentA, s.value.overRange,
            gapBefore};
}

enum Choice { LiveHour, LiveAll }; // list rows before the archive's sessions

} // namespace

QList<TrendSample> trendSamples(const QList<RealtimeSample>& samples)
{
    QList<TrendSample> out;
    out.reserve(samples.size());
    for (const RealtimeSample& s : samples)
        out.append(trendSample(s, out.isEmpty()));
    return out;
}

void LiveReadings::instrumentFound(const PortInfo& port)
{
    gapNext_ = true;
    port_ = port;
}

void LiveReadings::instrumentLost()
{
    gapNext_ = true;
}

void LiveReadings::realtimeReading(const RealtimeSample& sample)
{
    const TrendSample t = trendSample(sample, gapNext_);
    gapNext_ = false;
    if (samples_.size() >= TrendChart::MaxSamples) samples_.removeFirst();
    samples_.append(t);
    if (added) added(t);
}

TrendWindow::TrendWindow(archive::Store* store, std::shared_ptr<ArchiveDialogs> dialogs,
                         LiveReadings& live, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), dialogs_(std::move(dialogs)), live_(live)
{
    setWindowTitle(QStringLiteral("趋势"));
    resize(900, 480);
    chart = new TrendChart(this);
    shown = new QComboBox(this);
    shown->setMinimumWidth(360);
    reportButton = new QPushButton(QStringLiteral("报告…"), this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("显示："), this));
    bar->addWidget(shown);
    bar->addStretch();
    bar->addWidget(reportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(chart, 1);
    reloadSessions();
    connect(shown, &QComboBox::activated, this, &TrendWindow::choose);
    connect(reportButton, &QPushButton::clicked, this, &TrendWindow::report);
    live_.added = [this](const TrendSample& t) { added(t); };
    chart->setSamples(live_.samples());
}

void TrendWindow::reloadSessions()
{
    const qint64 keep = shown->currentData().toLongLong();
    shown->clear();
    shown->addItem(QStringLiteral("当前测量：最近 1 小时"), qint64(0));
    shown->addItem(QStringLiteral("当前测量：全部"), qint64(0));
    if (store_)
        for (const archive::SessionInfo& s : store_->sessions())
            shown->addItem(
                QStringLiteral("%1  %2  %3 个读数")
                    .arg(s.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), s.port)
                    .arg(s.samples),
                s.id);
    const int again = keep ? shown->findData(keep) : -1;
    shown->setCurrentIndex(again >= 0 ? again : LiveHour);
}

void TrendWindow::showSession(qint64 sessionId)
{
    reloadSessions();
    const int index = shown->findData(sessionId);
    if (index < 0) return;
    shown->setCurrentIndex(index);
    choose(index);
}

bool TrendWindow::live() const
{
    return shown->currentIndex() <= LiveAll;
}

void TrendWindow::choose(int index)
{
    if (index <= LiveAll || !store_) {
        sessionShown_ = 0;
        chart->setSamples(live_.samples());
        drawLive();
        return;
    }
    sessionShown_ = shown->itemData(index).toLongLong();
    const QList<TrendSample> samples = trendSamples(store_->samples(sessionShown_));
    chart->setSamples(samples);
    const qint64 from = samples.isEmpty() ? 0 : samples.front().ms;
    const qint64 to = samples.isEmpty() ? 1 : samples.back().ms;
    chart->setSpan(from, std::max(to + 1, from + 60 * 1000));
    chart->redraw();
}

void TrendWindow::drawLive()
{
    const QList<TrendSample>& samples = live_.samples();
    if (samples.isEmpty()) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        chart->setSpan(now - LiveSpanMs, now);
    } else {
        const qint64 last = samples.back().ms + 1;
        // From the first reading (at least a minute), the last hour of it at most.
        const qint64 all = std::min(samples.front().ms, last - 60 * 1000);
        const qint64 from =
            shown->currentIndex() == LiveHour ? std::max(all, last - LiveSpanMs) : all;
        chart->setSpan(from, last);
    }
    if (isVisible()) chart->redraw();
}

void TrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reloadSessions();
    if (live()) drawLive();
}

void TrendWindow::added(const TrendSample& sample)
{
    if (!live()) return;
    chart->append(sample);
    drawLive();
}

void TrendWindow::report()
{
    InspectionReport r;
    r.fromDownload = false;
    if (sessionShown_ && store_) {
        const auto info = store_->session(sessionShown_);
        if (!info) return;
        r.started = info->started;
        r.ended = info->ended;
        r.port = {info->port, info->device};
        r.samples = chart->samples();
    } else {
        // The current session: the readings since the instrument was last found.
        const QList<TrendSample>& samples = live_.samples();
        qsizetype first = samples.size();
        while (first > 0 && !samples[first - 1].gapBefore)
            --first;
        if (first > 0) --first;
        r.samples = samples.mid(first);
        if (r.samples.isEmpty()) {
            dialogs_->tell(this, QStringLiteral("还没有实时读数。"));
            return;
        }
        r.started = QDateTime::fromMSecsSinceEpoch(r.samples.front().ms);
        r.ended = QDateTime::fromMSecsSinceEpoch(r.samples.back().ms);
        r.port = live_.port();
    }
    fileReport(this, *dialogs_, r);
}

} // namespace tesvaron
