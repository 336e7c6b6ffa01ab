#pragma once
// The archive window: the downloads filed, newest first, with a date filter; the selected one's
// records; delete, export to CSV or .xlsx, the inspection report; the realtime sessions, their
// trend, export and report.

#include "archive/archive_store.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QDateEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace tesvaron {

class ArchiveDialogs;
class TrendWindow;

class ArchiveWindow : public QWidget
{
    Q_OBJECT
public:
    ArchiveWindow(archive::Store* store, std::shared_ptr<ArchiveDialogs> dialogs,
                  TrendWindow* trend = nullptr, QWidget* parent = nullptr);

    // Reads the lists again from the archive (the filter applied).
    void reload();
    archive::DateFilter filter() const;

    // The commands on the selected download (first tab) or session (second tab).
    void removeSelected();
    void exportSelected(const QString& extension); // "csv" or "xlsx"
    void reportSelected();
    void trendSelected();

    QTabWidget* tabs;
    QTableWidget* downloads;
    QTableWidget* records;
    QTableWidget* sessions;
    QCheckBox* byDate;
    QDateEdit* from;
    QDateEdit* to;
    QPushButton* removeButton;
    QPushButton* csvButton;
    QPushButton* xlsxButton;
    QPushButton* reportButton;
    QPushButton* trendButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showRecords();
    void updateCommands();
    bool onDownloads() const;
    qint64 selectedId(QTableWidget* table) const;

    archive::Store* store_;
    std::shared_ptr<ArchiveDialogs> dialogs_;
    TrendWindow* trend_;
    QList<archive::DownloadInfo> downloadList_;
    QList<archive::SessionInfo> sessionList_;
};

} // namespace tesvaron
