#include "app/archive_window.h"
#include "app/archive_dialogs.h"
#include "app/trend_window.h"
#include "report/inspection_report.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tesvaron {

namespace {

constexpr auto Right = Qt::AlignRight | Qt::AlignVCenter;

QTableWidget* table(QWidget* parent, const QStringList& titles)
{
    auto* t = new QTableWidget(0, int(titles.size()), parent);
    t->setHorizontalHeaderLabels(titles);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void put(QTableWidget* t, int row, int column, const QString& text,
         Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    t->setItem(row, column, item);
}

QString state(const archive::DownloadInfo& d)
{
    if (d.complete) return QStringLiteral("完整");
    return d.reported >= 0 ? QStringLiteral("中断（%1/%2）").arg(d.rowsRead).arg(d.reported)
                           : QStringLiteral("中断");
}

QString stamp(const QDateTime& at)
{
    return at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

ArchiveWindow::ArchiveWindow(archive::Store* store, std::shared_ptr<ArchiveDialogs> dialogs,
                             TrendWindow* trend, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), dialogs_(std::move(dialogs)), trend_(trend)
{
    setWindowTitle(QStringLiteral("档案"));
    resize(960, 560);

    byDate = new QCheckBox(QStringLiteral("按日期："), this);
    from = new QDateEdit(QDate::currentDate().addDays(-30), this);
    to = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* d : {from, to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setEnabled(false);
    }
    auto* filterBar = new QHBoxLayout;
    filterBar->addWidget(byDate);
    filterBar->addWidget(from);
    filterBar->addWidget(new QLabel(QStringLiteral("至"), this));
    filterBar->addWidget(to);
    filterBar->addStretch();

    downloads = table(this, {QStringLiteral("日期"), QStringLiteral("时间"), QStringLiteral("端口"),
                             QStringLiteral("记录数"), QStringLiteral("状态")});
    records = table(this, {QStringLiteral("NO."), QStringLiteral("对地电压 (kV)"),
                           QStringLiteral("线电压 (kV)"), QStringLiteral("电流 (A)")});
    sessions = table(this, {QStringLiteral("日期"), QStringLiteral("开始"), QStringLiteral("结束"),
                            QStringLiteral("端口"), QStringLiteral("读数")});
    auto* split = new QSplitter(this);
    split->addWidget(downloads);
    split->addWidget(records);
    split->setSizes({520, 440});
    tabs = new QTabWidget(this);
    tabs->addTab(split, QStringLiteral("下载"));
    tabs->addTab(sessions, QStringLiteral("实时测量"));

    removeButton = new QPushButton(QStringLiteral("删除…"), this);
    csvButton = new QPushButton(QStringLiteral("导出 CSV…"), this);
    xlsxButton = new QPushButton(QStringLiteral("导出 Excel…"), this);
    reportButton = new QPushButton(QStringLiteral("检测报告…"), this);
    trendButton = new QPushButton(QStringLiteral("趋势…"), this);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {removeButton, csvButton, xlsxButton, reportButton, trendButton})
        commands->addWidget(b);
    commands->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterBar);
    layout->addWidget(tabs, 1);
    layout->addLayout(commands);

    connect(byDate, &QCheckBox::toggled, this, [this](bool on) {
        from->setEnabled(on);
        to->setEnabled(on);
        reload();
    });
    connect(from, &QDateEdit::dateChanged, this, &ArchiveWindow::reload);
    connect(to, &QDateEdit::dateChanged, this, &ArchiveWindow::reload);
    connect(downloads, &QTableWidget::itemSelectionChanged, this, &ArchiveWindow::showRecords);
    connect(sessions, &QTableWidget::itemSelectionChanged, this, &ArchiveWindow::updateCommands);
    connect(tabs, &QTabWidget::currentChanged, this, &ArchiveWindow::updateCommands);
    connect(removeButton, &QPushButton::clicked, this, &ArchiveWindow::removeSelected);
    connect(csvButton, &QPushButton::clicked, this, [this] { exportSelected("csv"); });
    connect(xlsxButton, &QPushButton::clicked, this, [this] { exportSelected("xlsx"); });
    connect(reportButton, &QPushButton::clicked, this, &ArchiveWindow::reportSelected);
    connect(trendButton, &QPushButton::clicked, this, &ArchiveWindow::trendSelected);
    if (store_) {
        connect(store_, &archive::Store::downloadFiled, this, [this] {
            if (isVisible()) reload();
        });
    }
    reload();
}

void ArchiveWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();
}

archive::DateFilter ArchiveWindow::filter() const
{
    if (!byDate->isChecked()) return {};
    return {from->date(), to->date()};
}

bool ArchiveWindow::onDownloads() const
{
    return tabs->currentIndex() == 0;
}

qint64 ArchiveWindow::selectedId(QTableWidget* t) const
{
    const int row = t->currentRow();
    if (row < 0 || t->selectionModel()->selectedRows().isEmpty()) return 0;
    if (t == downloads) return row < downloadList_.size() ? downloadList_[row].id : 0;
    return row < sessionList_.size() ? sessionList_[row].id : 0;
}

void ArchiveWindow::reload()
{
    const qint64 keepDownload = selectedId(downloads);
    const qint64 keepSession = selectedId(sessions);
    downloadList_ = store_ ? store_->downloads(filter()) : QList<archive::DownloadInfo>{};
    sessionList_ = store_ ? store_->sessions(filter()) : QList<archive::SessionInfo>{};

    downloads->setRowCount(int(downloadList_.size()));
    for (int r = 0; r < downloadList_.size(); ++r) {
        const archive::DownloadInfo& d = downloadList_[r];
        put(downloads, r, 0, d.started.toString(QStringLiteral("yyyy-MM-dd")));
        put(downloads, r, 1, d.started.toString(QStringLiteral("HH:mm:ss")));
        put(downloads, r, 2, d.port);
        put(downloads, r, 3, QString::number(d.rowsRead), Right);
        put(downloads, r, 4, state(d));
        if (d.id == keepDownload) downloads->selectRow(r);
    }
    sessions->setRowCount(int(sessionList_.size()));
    for (int r = 0; r < sessionList_.size(); ++r) {
        const archive::SessionInfo& s = sessionList_[r];
        put(sessions, r, 0, s.started.toString(QStringLiteral("yyyy-MM-dd")));
        put(sessions, r, 1, s.started.toString(QStringLiteral("HH:mm:ss")));
        put(sessions, r, 2,
            s.ended.isValid() ? s.ended.toString(QStringLiteral("HH:mm:ss")) : QString());
        put(sessions, r, 3, s.port);
        put(sessions, r, 4, QString::number(s.samples), Right);
        if (s.id == keepSession) sessions->selectRow(r);
    }
    // Without a choice still listed, the newest download is shown.
    if (!keepDownload || selectedId(downloads) != keepDownload) {
        downloads->clearSelection();
        if (!downloadList_.isEmpty()) downloads->selectRow(0);
    }
    showRecords();
}

void ArchiveWindow::showRecords()
{
    const qint64 id = selectedId(downloads);
    const QList<HistoryRow> rows = id ? store_->records(id) : QList<HistoryRow>{};
    records->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const MeasureTexts& t = rows[r].value.texts;
        put(records, r, 0, QString::number(rows[r].no), Right);
        put(records, r, 1, numberPart(t.ground), Right);
        put(records, r, 2, numberPart(t.line), Right);
        put(records, r, 3, numberPart(t.current), Right);
    }
    updateCommands();
}

void ArchiveWindow::updateCommands()
{
    const bool any = selectedId(onDownloads() ? downloads : sessions) != 0;
    for (QPushButton* b : {removeButton, csvButton, xlsxButton, reportButton})
        b->setEnabled(any);
    trendButton->setEnabled(trend_ != nullptr && (onDownloads() || any));
}

void ArchiveWindow::removeSelected()
{
    if (onDownloads()) {
        const qint64 id = selectedId(downloads);
        const auto d = id ? store_->download(id) : std::nullopt;
        if (!d) return;
        if (id == store_->currentDownload())
            return dialogs_->tell(this, QStringLiteral("正在记录的下载不能删除。"));
        if (!dialogs_->confirm(this,
                               QStringLiteral("删除 %1 %2 的下载（%3 条记录）？删除后不能恢复。")
                                   .arg(d->started.toString(QStringLiteral("yyyy-MM-dd")),
                                        d->started.toString(QStringLiteral("HH:mm:ss")))
                                   .arg(d->rowsRead)))
            return;
        if (!store_->removeDownload(id))
            dialogs_->tell(this, QStringLiteral("未能删除：") + store_->lastError());
    } else {
        const qint64 id = selectedId(sessions);
        const auto s = id ? store_->session(id) : std::nullopt;
        if (!s) return;
        if (id == store_->currentSession())
            return dialogs_->tell(this, QStringLiteral("正在记录的实时测量不能删除。"));
        if (!dialogs_->confirm(
                this, QStringLiteral("删除 %1 %2 的实时测量（%3 个读数）？删除后不能恢复。")
                          .arg(s->started.toString(QStringLiteral("yyyy-MM-dd")),
                               s->started.toString(QStringLiteral("HH:mm:ss")))
                          .arg(s->samples)))
            return;
        if (!store_->removeSession(id))
            dialogs_->tell(this, QStringLiteral("未能删除：") + store_->lastError());
    }
    reload();
}

void ArchiveWindow::exportSelected(const QString& extension)
{
    const bool xlsx = extension == QLatin1String("xlsx");
    const QString filter =
        xlsx ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)");
    QString error;
    bool ok = false;
    QString path;
    if (onDownloads()) {
        const auto d = store_->download(selectedId(downloads));
        if (!d) return;
        path = dialogs_->saveFileName(
            this, QStringLiteral("导出下载"),
            QStringLiteral("下载-%1.%2").arg(stamp(d->started), extension), filter);
        if (path.isEmpty()) return;
        ok = archive::exportDownload(path, *d, store_->records(d->id), &error);
    } else {
        const auto s = store_->session(selectedId(sessions));
        if (!s) return;
        path = dialogs_->saveFileName(
            this, QStringLiteral("导出实时测量"),
            QStringLiteral("实时-%1.%2").arg(stamp(s->started), extension), filter);
        if (path.isEmpty()) return;
        ok = archive::exportSession(path, *s, store_->samples(s->id), &error);
    }
    if (!ok) dialogs_->tell(this, QStringLiteral("未能导出：") + error);
}

void ArchiveWindow::reportSelected()
{
    InspectionReport r;
    if (onDownloads()) {
        const auto d = store_->download(selectedId(downloads));
        if (!d) return;
        r.started = d->started;
        r.ended = d->ended;
        r.port = {d->port, d->device};
        r.reported = d->reported;
        r.complete = d->complete;
        r.rows = store_->records(d->id);
    } else {
        const auto s = store_->session(selectedId(sessions));
        if (!s) return;
        r.fromDownload = false;
        r.started = s->started;
        r.ended = s->ended;
        r.port = {s->port, s->device};
        r.samples = trendSamples(store_->samples(s->id));
    }
    fileReport(this, *dialogs_, r);
}

void ArchiveWindow::trendSelected()
{
    if (!trend_) return;
    const qint64 session = onDownloads() ? 0 : selectedId(sessions);
    if (session)
        trend_->showSession(session);
    else
        trend_->reloadSessions();
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

} // namespace tesvaron
