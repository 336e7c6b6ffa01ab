// The archive and trend windows over a real SQLite archive, with the user's answers given.

#include "app/archive_dialogs.h"
#include "app/archive_window.h"
#include "app/archive_windows.h"
#include "app/report_dialog.h"
#include "app/trend_window.h"

#include "tests/support/rig.h"
#include <QTest>

using namespace tesvaron;

namespace {

// The user: answers confirmations as told, names files in the test folder, fills the fields.
class Answers : public ArchiveDialogs
{
public:
    explicit Answers(const QString& folder)
        : folder(folder), ini(folder + "/settings.ini", QSettings::IniFormat)
    {
    }
    bool confirm(QWidget*, const QString& text) override
    {
        asked << text;
        return yes;
    }
    QString saveFileName(QWidget*, const QString&, const QString& suggested,
                         const QString& filter) override
    {
        filters << filter;
        return folder + "/" + suggested;
    }
    bool reportFields(QWidget*, ReportFields& f) override
    {
        offered = f;
        f.lineName = "35kV 东郊线";
        f.operatorName = "王强";
        return true;
    }
    void tell(QWidget*, const QString& text) override { told << text; }
    QSettings& settings() override { return ini; }

    QString folder;
    QSettings ini;
    bool yes = false;
    QStringList asked, told, filters;
    ReportFields offered;
};

// Local time: the windows show the archive's times in it.
QDateTime at(int hour, int minute, int second = 0, int day = 7)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second));
}

RealtimeSample reading(const QDateTime& when, float kv, float a, bool over = false)
{
    return {when, {kv, 35, a, over, {over ? "NO--" : QString::number(kv) + "kV", "35kV", "1.0A"}}};
}

void download(archive::Store& store, const QDateTime& start, int records, bool complete)
{
    store.downloadStarted({"COM3", "/dev/ttyUSB0"}, start);
    store.downloadTotal(complete ? records : records + 10);
    QList<HistoryRow> rows;
    for (int i = 1; i <= records; ++i)
        rows.append({i,
                     {i * 1.5f, 10, i * 0.1f, false,
                      historyTexts(std::uint16_t(i * 15), std::uint16_t(i), 1)}});
    store.downloadRows(rows);
    if (complete) store.downloadEnded({true, records, records, start.addSecs(2)});
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestArchiveWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void downloadsAndSessions()
    {
        archive::Store store({dir.filePath("archive.sqlite"), {}});
        QVERIFY(store.isAvailable());
        download(store, at(9, 0, 0, 5), 3, true);
        download(store, at(10, 30), 12, false); // cut short: 12 of 22
        store.instrumentFound({"COM3", "/dev/ttyUSB0"});
        for (int i = 0; i < 40; ++i)
            store.realtimeReading(reading(at(11, 0).addMSecs(i * 1500), 10 + i % 3, 1));
        store.instrumentLost();

        auto answers = std::make_shared<Answers>(dir.path());
        LiveReadings live;
        TrendWindow trend(&store, answers, live);
        ArchiveWindow w(&store, answers, &trend);
        w.from->setDate(QDate(2026, 11, 7)), w.to->setDate(QDate(2026, 12, 7));
        // As drawn: the filter bar; the downloads, newest first, with the newest one's records
        // beside them (the units in the headers); the commands.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(test::looksAsGolden(w, "archive",
                                    "[-\\d]{10}\\|\\d+ [:\\d]{8}\\|\\d+ [:\\d]{8}")); // now
        w.tabs->setCurrentIndex(1); // the commands follow the tab's selection
        QVERIFY(!w.removeButton->isEnabled() && !w.trendButton->isEnabled());
        w.tabs->setCurrentIndex(0);

        w.csvButton->click();
        QFile csv(dir.filePath("下载-20261207-103000.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().startsWith("\xEF\xBB\xBF"));
        w.reportButton->click();
        QCOMPARE(answers->offered.date, "2026-12-07");
        QCOMPARE(loadReportFields(answers->settings()).operatorName, "王强");

        // Delete asks first; No keeps the download. The one still being filed stays.
        w.downloads->selectRow(1);
        w.hide(), w.show(); // shown again, it lists anew and keeps the choice
        w.removeButton->click();
        QCOMPARE(answers->asked.size(), 1);
        QVERIFY(answers->asked[0].contains("3 条记录"));
        QCOMPARE(w.downloads->rowCount(), 2);
        answers->yes = true;
        w.removeButton->click();
        QCOMPARE(store.downloads().size(), 1);
        QCOMPARE(w.downloads->rowCount(), 1);
        w.downloads->selectRow(0);
        w.removeButton->click();
        QCOMPARE(answers->asked.size(), 2);
        QCOMPARE(answers->told, QStringList{"正在记录的下载不能删除。"});
        QCOMPARE(store.downloads().size(), 1);

        // The date filter: the 7th, not the 5th.
        w.byDate->setChecked(true);
        w.from->setDate(QDate(2026, 12, 6));
        QCOMPARE(w.downloads->rowCount(), 1);
        w.from->setDate(QDate(2026, 12, 1));
        w.to->setDate(QDate(2026, 12, 5));
        QCOMPARE(w.downloads->rowCount(), 0);
        QVERIFY(w.trendButton->isEnabled() && !w.csvButton->isEnabled()); // the live trend stays

        // A session on demand in the trend.
        w.tabs->setCurrentIndex(1);
        w.byDate->setChecked(false);
        QCOMPARE(w.sessions->rowCount(), 1);
        w.sessions->selectRow(0);
        w.trendButton->click();
        QVERIFY(trend.isVisible());
        QCOMPARE(trend.chart->samples().size(), 40);
        QCOMPARE(trend.chart->drawn().ground.size(), 1);
        QCOMPARE(trend.chart->drawn().maxGround, 12.0f);
        w.xlsxButton->click();
        QCOMPARE(QDir(dir.path()).entryList({"实时-*.xlsx"}).size(), 1);
        QCOMPARE(answers->filters.first() + answers->filters.last(),
                 "CSV 文件 (*.csv)Excel 工作簿 (*.xlsx)");
        w.hide();
        download(store, at(8, 0, 0, 1), 1, true); // filed while hidden: listed once shown
        w.show();
        QCOMPARE(w.downloads->rowCount(), 2);

        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no poppler tools for us");
        const QString text = pdfText(dir.filePath("检测报告-20261207-103000.pdf"));
        for (const char* s :
             {"35kV 东郊线", "王强", "仪器报告 22 条，中断，收到 12 条", "第 1 页 共 1 页"})
            QVERIFY2(text.contains(QString::fromUtf8(s)), s);
    }

    void liveTrend()
    {
        auto answers = std::make_shared<Answers>(dir.path());
        LiveReadings live;
        TrendWindow trend(nullptr, answers, live);
        trend.resize(800, 400);
        trend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        live.instrumentFound({"COM4", ""});
        const QDateTime t0 = at(8, 0);
        // 70 minutes of readings, lost for a while after 65, one over range.
        for (int i = 0; i < 70 * 40; ++i) {
            if (i == 65 * 40) {
                live.instrumentLost();
                live.instrumentFound({"COM4", ""});
            }
            live.realtimeReading(reading(t0.addMSecs(qint64(i) * 1500), 20, 2, i == 66 * 40));
        }
        const qint64 last = t0.addMSecs(qint64(70 * 40 - 1) * 1500).toMSecsSinceEpoch();
        QCOMPARE(trend.chart->spanTo() - trend.chart->spanFrom(), TrendWindow::LiveSpanMs);
        QCOMPARE(trend.chart->spanTo(), last + 1);
        QCOMPARE(trend.chart->drawn().overRange.size(), 1);
        QCOMPARE(trend.chart->drawn().ground.size(), 3); // lost, over range: three runs
        QVERIFY(test::looksAsGolden(trend, "trend-live"));
        TrendWindow later(nullptr, answers, live); // opened later, it has them all too
        QCOMPARE(later.chart->samples().size(), trend.chart->samples().size());
        trend.shown->setCurrentIndex(1), emit trend.shown->activated(1); // 全部: from the first
        QCOMPARE(trend.chart->spanFrom(), t0.toMSecsSinceEpoch());

        trend.reportButton->click();
        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no poppler tools for us");
        const QString text = pdfText(dir.filePath("检测报告-20261207-090500.pdf"));
        QVERIFY2(text.contains(QString::fromUtf8("读数：200 个，超量程 1 个")), qPrintable(text));
    }

    // The main window's 文件 menu opens them (its items are in the window's golden description).
    void menuItems()
    {
        test::Rig rig;
        QVERIFY(!rig.form->Archive->archiveWindow());
        rig.form->menuarchive->trigger();
        QVERIFY(rig.form->Archive->archiveWindow()->isVisible());
        rig.form->menutrend->trigger();
        QVERIFY(rig.form->Archive->trendWindow()->isVisible());

        // The window's readings reach the open trend as they come.
        QVERIFY(rig.found());
        rig.advance(std::chrono::milliseconds(4600));
        const QList<TrendSample>& kept = rig.form->Archive->live().samples();
        QCOMPARE(kept.size(), 3);
        QVERIFY(kept[0].gapBefore && !kept[2].gapBefore);
        QCOMPARE(rig.form->Archive->trendWindow()->chart->samples().size(), 3);
        QCOMPARE(rig.form->Archive->trendWindow()->chart->drawn().ground.size(), 1);
    }

    void fieldsDialog()
    {
        ReportFields start;
        start.tower = "N5";
        ReportDialog d(start);
        QCOMPARE(d.edits[3]->text(), "N5");
        d.edits[1]->setText("线");
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(d.result() != QDialog::Accepted);
        QCOMPARE(d.missing->text(), QString::fromUtf8("请填写：检测人"));
        d.edits[5]->setText("李");
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(d.result() == QDialog::Accepted && d.fields().operatorName == "李");
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestArchiveWindow)
#include "test_archive_window.moc"
