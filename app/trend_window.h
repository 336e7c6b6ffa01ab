#pragma once
// The trend window: the current realtime session as it comes in (the last hour by default, or
// all of it), or any session from the archive on demand.

#include "archive/archive_store.h"
#include "replies/measurements.h"
#include "trend/trend_chart.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QPushButton;

namespace tesvaron {

class ArchiveDialogs;

// This run's readings as the trend draws them, kept from the start whether the trend is open or
// not; every session's, the first after each find marked as following a gap.
class LiveReadings : public MeasurementListener
{
public:
    void instrumentFound(const PortInfo& port) override;
    void instrumentLost() override;
    void realtimeReading(const RealtimeSample& sample) override;

    const QList<TrendSample>& samples() const { return samples_; }
    const PortInfo& port() const { return port_; }
    // Told of each reading as it is kept.
    std::function<void(const TrendSample&)> added;

private:
    QList<TrendSample> samples_;
    bool gapNext_ = true;
    PortInfo port_;
};

class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    // `store` may be null (no archive): only the live session is offered.
    TrendWindow(archive::Store* store, std::shared_ptr<ArchiveDialogs> dialogs, LiveReadings& live,
                QWidget* parent = nullptr);

    // What the list offers: live last hour, live whole session, then the archive's sessions.
    void reloadSessions();
    // Shows an archived session (selects it in the list).
    void showSession(qint64 sessionId);
    void report();

    TrendChart* chart;
    QComboBox* shown;
    QPushButton* reportButton;

    static constexpr qint64 LiveSpanMs = 3600 * 1000;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void choose(int index);
    void drawLive();
    bool live() const;
    void added(const TrendSample& sample);

    archive::Store* store_;
    std::shared_ptr<ArchiveDialogs> dialogs_;
    LiveReadings& live_;
    qint64 sessionShown_ = 0; // the archived session in the chart, when not live
};

// Readings as the trend draws them; the first is marked as following a gap.
QList<TrendSample> trendSamples(const QList<RealtimeSample>& samples);

} // namespace tesvaron
