#pragma once
// The main window's archive and trend windows: the live readings are kept from the start, the
// windows are made on first use (the chart costs start-up time a user who never opens it
// should not pay).

#include "app/trend_window.h"

#include <QObject>
#include <memory>

class QWidget;

namespace tesvaron {

class ArchiveDialogs;
class ArchiveWindow;

class ArchiveWindows : public QObject
{
    Q_OBJECT
public:
    ArchiveWindows(QWidget* owner, std::shared_ptr<ArchiveDialogs> dialogs);
    ~ArchiveWindows() override;

    // The archive the windows read; null (the default) shows them empty.
    void setStore(archive::Store* store) { store_ = store; }
    archive::Store* store() const { return store_; }
    LiveReadings& live() { return live_; }

    void showArchive();
    void showTrend();
    ArchiveWindow* archiveWindow() const { return archive_; }
    TrendWindow* trendWindow() const { return trend_; }

private:
    TrendWindow* trend();

    QWidget* owner_;
    std::shared_ptr<ArchiveDialogs> dialogs_;
    archive::Store* store_ = nullptr;
    LiveReadings live_;
    TrendWindow* trend_ = nullptr;
    ArchiveWindow* archive_ = nullptr;
};

} // namespace tesvaron
