// The window against the in-process instrument in virtual time: search, polling, downloads,
// faults, and the save and print commands through recording seams.

#include "archive/archive_store.h"
#include "output/text_files.h"
#include "output/workbook_file.h"
#include "platform/output_seams.h"
#include "tests/support/rig.h"

#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

// Dialogs answer as scripted; printed lines and pictures are kept.
struct FakeOutput : OutputSeams, CommonDialog, PrinterSeam
{
    QTemporaryDir dir;
    int chooseIndex = 0; // 0: leave the type as it is
    QString under;       // the folder the chosen file goes in, inside dir
    QString typed;       // the name typed in the dialog; empty: "out" and the type's extension
    QString pdf;         // where a print went, when to a file
    bool cancel = false;
    QStringList proposed, printed;
    int grabs = 0;
    QImage clipboard;

    CommonDialog& dialog() override { return *this; }
    QImage grabScreen(QWidget*) override
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(QColor(++grabs * 20, 0, 0));
        return image;
    }
    void setClipboardImage(const QImage& image) override { clipboard = image; }
    PrinterSeam& printer() override { return *this; }
    QString defaultFolder() override { return dir.filePath("saves"); }
    int ShowSave(QWidget*) override
    {
        proposed << FileName + DefaultExt;
        if (cancel) return CancelError ? CancelErrorNumber : 0;
        if (chooseIndex) FilterIndex = chooseIndex;
        const QStringList exts = Filter.split('|').filter(QRegularExpression("^\\*\\."));
        FileName = dir.filePath(
            under + (typed.isEmpty() ? "out" + exts.value(FilterIndex - 1).mid(1) : typed));
        return 0;
    }
    int ShowPrinter(QWidget*, QString*) override
    {
        return cancel && CancelError ? CancelErrorNumber : 0;
    }
    void setCurrentY(float y) override { printed << QStringLiteral("y=%1").arg(y); }
    void printLine(const PrintLine& items) override
    {
        QString line;
        for (const PrintItem& item : items)
            line += item.kind == PrintItem::Text ? item.text
                                                 : (item.kind == PrintItem::Advance ? "+" : "|") +
                                                       QString::number(item.columns);
        printed << line;
    }
    bool EndDoc(QString*) override { return true; }
    QString outputFile() const override { return pdf; }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

sim::SimConfig records(int count)
{
    sim::SimConfig c;
    c.recordCount = count;
    return c;
}

// Every announcement as one line of text.
struct EventLog : MeasurementListener
{
    QStringList lines;
    static QString values(const Measurement& m)
    {
        return QStringLiteral("%1/%2/%3 %4 %5 %6%7")
            .arg(m.groundKv)
            .arg(m.lineKv)
            .arg(m.currentA)
            .arg(m.texts.ground, m.texts.line, m.texts.current, m.overRange ? " over" : "");
    }
    void instrumentFound(const PortInfo& p) override
    {
        lines << "found " + p.port + " " + p.device;
    }
    void instrumentLost() override { lines << "lost"; }
    void realtimeReading(const RealtimeSample& s) override
    {
        lines << "reading " + values(s.value) + (s.at.isValid() ? "" : " no time");
    }
    void downloadStarted(const PortInfo& p, const QDateTime&) override
    {
        lines << "start " + p.port;
    }
    void downloadTotal(int reported) override { lines << QStringLiteral("total %1").arg(reported); }
    void downloadRows(const QList<HistoryRow>& rows) override
    {
        lines << QStringLiteral("rows %1..%2 %3")
                     .arg(rows.first().no)
                     .arg(rows.last().no)
                     .arg(values(rows.first().value));
    }
    void downloadEnded(const DownloadEnd& e) override
    {
        lines << QStringLiteral("end %1 %2 %3").arg(e.complete).arg(e.reported).arg(e.rowsRead);
    }
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void startupState()
    {
        Rig rig({}, 3);
        Form1& f = *rig.form;
        QLabel icon; // the window's own icon, as the task bar shows it
        icon.setPixmap(f.windowIcon().pixmap(32));
        QVERIFY(looksAsGolden(icon, "window-icon"));
        QVERIFY(!f.StatusPanels[0]->text().isEmpty() && f.StatusPanels[2]->text() != "time");
    }

    // Port 3 answers: probed at 1.8 s, found at 2.4 s, first poll at 3.9 s; values then live.
    void searchTimeline()
    {
        Rig rig({}, 3);
        rig.serial->outcomes[2] = OpenOutcome::InUse;
        rig.advance(1799ms);
        QVERIFY(rig.serial->written.empty());
        QCOMPARE(rig.form->LabComsta->text() + rig.form->Lab_rtsta->text(),
                 "COM2被占用正在查找仪器");
        rig.advance(1ms);
        QCOMPARE(rig.serial->written.size(), std::size_t(1));
        QCOMPARE(rig.serial->written[0].bytes, hex("A1 04 05 55 AA FE"));
        rig.advance(599ms);
        QVERIFY(rig.form->ComFound && rig.form->Timer_findcom->Enabled());
        rig.advance(1ms);
        QCOMPARE(int(rig.form->ComNo), 3);
        QVERIFY(!rig.form->Button_read->isEnabled() && rig.form->menuread->isEnabled());
        rig.advance(1499ms);
        QCOMPARE(rig.serial->written.size(), std::size_t(1));
        const sim::LiveValue live = rig.instrument.peekLive();
        rig.advance(20ms);
        QCOMPARE(rig.serial->written.back().at, 3900ms);
        QCOMPARE(rig.serial->written.back().bytes, hex("A1 04 06 00 00 02"));
        const MeasureTexts t = realtimeTexts(live.voltage, live.current, live.code);
        QCOMPARE(rig.form->Lab_value_ll->text() + rig.form->Lab_value_a->text(),
                 t.line + t.current);
        QCOMPARE(rig.form->LinkState, LinkCode::ReplyOk);
        QCOMPARE(rig.form->Lab_rtsta->text(), "通讯成功");
    }

    // Nothing answers: the first probe's timer runs out once at 2.5 s and is not pushed back.
    void silentSearchAndWrap()
    {
        Rig rig({}, 16);
        sim::SimConfig silent;
        silent.faults.push_back({sim::FaultType::Silence, 0, 0.0, std::nullopt});
        rig.instrument = sim::Instrument(silent);
        rig.serial->outcomes[1] = OpenOutcome::Opened;
        rig.advance(2499ms);
        QCOMPARE(rig.form->LinkState, LinkCode::Awaiting);
        rig.advance(1ms);
        QCOMPARE(rig.form->LinkState, LinkCode::TimedOut);
        QCOMPARE(rig.form->Lab_rtsta->text(), "正在查找仪器"); // no instrument has failed yet
        QCOMPARE(int(rig.form->ComNo), 5);
        rig.instrument = sim::Instrument();
        QVERIFY(rig.found());
        QCOMPARE(int(rig.form->ComNo), 16);
    }

    void downloads_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("starts"); // the block requests' start,count
        QTest::newRow("1") << 1 << "1,1";
        QTest::newRow("11") << 11 << "1,10 10,1";
        QTest::newRow("25") << 25 << "1,10 10,10 20,5";
        QTest::newRow("150 reads 99")
            << 150 << "1,10 10,10 20,10 30,10 40,10 50,10 60,10 70,10 80,10 90,9";
    }
    void downloads()
    {
        const int total = fetched<int>("total");
        Rig rig(records(total));
        QVERIFY(rig.found());
        const std::size_t before = rig.serial->written.size();
        QVERIFY(rig.download());
        QStringList starts;
        for (std::size_t i = before; i < rig.serial->written.size(); ++i)
            if (rig.serial->written[i].bytes[2] == 1)
                starts << QStringLiteral("%1,%2")
                              .arg(quint8(rig.serial->written[i].bytes[3]))
                              .arg(quint8(rig.serial->written[i].bytes[4]));
        QCOMPARE(starts.join(' '), fetched<QString>("starts"));
        const int shown = std::min(total, 99);
        for (int r = 1; r <= shown; ++r)
            QCOMPARE(rig.row(r), rig.recordRow(r - 1));
        if (shown < 99) QCOMPARE(rig.row(shown + 1), (QStringList{"", "", ""}));
        QVERIFY(rig.form->Progress_read->isHidden() && rig.form->Button_read->isEnabled());
        QCOMPARE(rig.boxes->shown.join('|').contains("150 组记录，表中只显示前 99 组"), total > 99);
    }

    // The archive files each download as the table shows it and the status bar says where;
    // an archive that cannot be opened is said once and the link goes on without it.
    void downloadsAreFiled()
    {
        QTemporaryDir dir;
        archive::Store store({dir.filePath("archive.sqlite"), {}});
        Rig rig(records(25));
        rig.form->attachArchive(&store);
        QVERIFY(rig.found() && rig.download());
        const auto filed = store.lastDownload();
        QVERIFY(filed && filed->complete && filed->rowsRead == 25 && filed->port == "COM1");
        const QList<HistoryRow> rows = store.records(filed->id);
        QCOMPARE(rows.size(), 25);
        for (const HistoryRow& row : rows)
            QCOMPARE(rig.row(row.no), (QStringList{row.value.texts.ground, row.value.texts.line,
                                                   row.value.texts.current}));
        QVERIFY(rig.form->StatusPanels[1]->text().contains(
            QDir::toNativeSeparators(dir.filePath("archive.sqlite"))));
        QVERIFY(store.currentSession() > 0);
        rig.form->Button_close->click(); // filed: nothing to ask
        QVERIFY(rig.boxes->asked.isEmpty() && !rig.form->Timer_date->Enabled());
        rig.form->attachArchive(nullptr);

        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        archive::Store broken({dir.filePath("file/archive.sqlite"), {}});
        Rig other(records(11));
        other.form->attachArchive(&broken);
        QCOMPARE(other.boxes->shown.filter("档案").size(), 1); // at once, before any download
        QVERIFY(other.found() && other.download() && other.download());
        QCOMPARE(other.boxes->shown.filter("档案").size(), 1);
        QCOMPARE(other.row(11), other.recordRow(10));
        // Unfiled and unsaved: leaving asks, and No keeps the window and its link running.
        other.boxes->yes = false;
        QVERIFY(!other.form->close() && other.form->Timer_date->Enabled());
        other.form->Button_close->click();
        QVERIFY(other.boxes->asked.size() == 2 && other.form->Timer_date->Enabled());
        other.form->Button_clear->click();
        QVERIFY(other.form->close() && other.boxes->asked.size() == 2);
        other.form->attachArchive(nullptr);
    }

    // A shorter download after a longer one leaves none of the older rows; a total of 0 says so.
    void newTotalClearsTheTable()
    {
        Rig rig(records(30));
        QVERIFY(rig.found() && rig.download());
        rig.instrument = sim::Instrument(records(12));
        QVERIFY(rig.download());
        QCOMPARE(rig.row(12), rig.recordRow(11));
        QCOMPARE(rig.row(13), (QStringList{"", "", ""}));
        rig.instrument = sim::Instrument(records(0));
        QVERIFY(rig.download());
        QCOMPARE(rig.row(1), (QStringList{"", "", ""}));
        rig.advance(5s);
        QCOMPARE(rig.boxes->shown, (QStringList{"tesvaron", "设备的测量历史记录组数为0！"}));
    }

    // A refusal or a silence in the middle ends the download with the commands back, and says
    // how far it got.
    void cutShort_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::newRow("refusal") << true;
        QTest::newRow("timeout") << false;
    }
    void cutShort()
    {
        Rig rig(records(25));
        QVERIFY(rig.found());
        int blocks = 0;
        const bool refuse = fetched<bool>("refuse");
        rig.serial->mangle = [&](const QByteArray& reply) {
            if (reply[2] != 1 || ++blocks < 2) return reply;
            return refuse ? hex("B1 02 F1 F3") : QByteArray();
        };
        QVERIFY(rig.download());
        QCOMPARE(rig.row(10), rig.recordRow(9));
        QCOMPARE(rig.row(11), (QStringList{"", "", ""}));
        QVERIFY(rig.form->Button_save->isEnabled() && rig.form->Progress_read->isHidden());
        QVERIFY(rig.boxes->shown.join('|').contains("已读取 10 / 25 组记录"));
        QCOMPARE(rig.form->Timer_real->Enabled(), true);
    }

    // Line faults on every reply: the window keeps polling and downloading, or ends each
    // exchange by the timeout, and never stays with its commands taken away.
    void lineFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("rowsArrive");
        QTest::addColumn<bool>("valuesLive");
        const struct
        {
            const char* fault;
            bool rows, live;
        } rows[] = {{"badcs", false, false},      {"stray:3", false, false},
                    {"split:300", true, true},    {"split:1600", true, false},
                    {"truncate:1", false, false}, {"f1", false, false},
                    {"late:2600", false, false},  {"drop:2", false, true},
                    {"f1@block", false, true},    {"silence@count", false, true}};
        for (const auto& r : rows)
            QTest::newRow(r.fault) << QString::fromLatin1(r.fault) << r.rows << r.live;
    }
    void lineFaults()
    {
        Rig rig(records(25));
        QVERIFY(rig.found());
        rig.instrument = sim::Instrument([] {
            sim::SimConfig c = records(25);
            c.faults.push_back(*sim::parseFault(fetched<QString>("fault")));
            return c;
        }());
        rig.advance(6s);
        QCOMPARE(rig.form->Lab_value_lg->isEnabled(), fetched<bool>("valuesLive"));
        QVERIFY(rig.download());
        QCOMPARE(rig.row(25) == rig.recordRow(24), fetched<bool>("rowsArrive"));
        QVERIFY(rig.form->Button_read->isEnabled() && rig.form->Timer_real->Enabled());
        QVERIFY(rig.form->Progress_read->isHidden());
    }

    // The instrument's port goes away and it answers on COM5: found there within one pass.
    // A port that stays but falls silent keeps being polled.
    void instrumentMoves()
    {
        Rig rig({}, 3);
        QVERIFY(rig.found());
        rig.serial->outcomes.remove(3);
        rig.serial->outcomes[5] = OpenOutcome::Opened;
        rig.serial->devices[5] = "/dev/ttyUSB1";
        rig.serial->instrumentCom = 5;
        rig.advance(1500ms);
        QVERIFY(!rig.form->ComFound && !rig.form->Lab_value_a->isEnabled());
        QCOMPARE(rig.form->Lab_rtsta->text(), "正在查找仪器");
        QVERIFY(rig.until([&] { return rig.form->ComFound; }, 9600ms + 1200ms));
        QVERIFY(rig.found());
        QCOMPARE(int(rig.form->ComNo), 5);
        QVERIFY(rig.until([&] { return rig.form->Lab_value_a->isEnabled(); }));
        // Silent from here: the reply timer counts from the first unanswered poll.
        rig.serial->instrument = nullptr;
        const std::size_t sent = rig.serial->written.size();
        QVERIFY(rig.until([&] { return rig.serial->written.size() > sent; }));
        const auto unanswered = rig.serial->written.back().at;
        QVERIFY(rig.until([&] { return rig.form->LinkState == LinkCode::TimedOut; }));
        QCOMPARE(rig.clock.now(), unanswered + 2500ms);
        QCOMPARE(rig.form->Lab_rtsta->text(), "通讯失败");
        rig.advance(10s);
        QCOMPARE(int(rig.form->ComNo), 5);
        QCOMPARE(rig.serial->written.back().com, 5);
    }

    // A refused port reads 无权限, and a whole pass with no instrument says how to fix it.
    void permissionRefused()
    {
        Rig rig({}, 9);
        rig.serial->instrument = nullptr;
        rig.serial->outcomes[4] = OpenOutcome::NoPermission;
        rig.serial->devices[4] = "/dev/ttyUSB7";
        rig.advance(2400ms);
        QCOMPARE(rig.form->LabComsta->text(), "COM4无权限");
        QVERIFY(rig.form->Lab_permission->isHidden());
        rig.advance(7200ms);
        const QString hint = rig.form->Lab_permission->text();
        QVERIFY(!rig.form->Lab_permission->isHidden() && hint.contains("/dev/ttyUSB7") &&
                hint.contains("usermod -aG dialout"));
        rig.serial->instrument = &rig.instrument;
        QVERIFY(rig.found());
        QVERIFY(rig.form->Lab_permission->isHidden());
    }

    void shortcuts()
    {
        Rig rig(records(3));
        rig.form->show(), rig.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
        QVERIFY(rig.found());
        QTest::keyClick(rig.form.get(), Qt::Key_F5); // reads from the history view only
        QVERIFY(!rig.form->download().running);
        rig.form->TabStrip1->clickTab(2);
        rig.form->Button_read->setFocus();
        QTest::keyClick(rig.form->Button_read, Qt::Key_Space);
        QVERIFY(!rig.form->TabStrip1->isEnabled());
        QVERIFY(QApplication::focusWidget() != rig.form->Button_close);
        QVERIFY(rig.until([&] { return rig.form->TabStrip1->isEnabled(); }));
        QTest::keyClick(rig.form.get(), Qt::Key_F5);
        QVERIFY(!rig.form->TabStrip1->isEnabled());
        QVERIFY(rig.until([&] { return rig.form->TabStrip1->isEnabled(); }));
        QCOMPARE(rig.row(3), rig.recordRow(2));
        // F1 is the user guide; the about box names the version.
        QTest::keyClick(rig.form.get(), Qt::Key_F1);
        const auto* guide = rig.form->findChild<QTextBrowser*>("UserGuideText");
        QVERIFY(guide && guide->isVisible() && guide->toPlainText().contains("dialout"));
        rig.form->menuguide->trigger(); // comes forward, once, as tall as the text wants
        const QList<QDialog*> open = rig.form->findChildren<QDialog*>();
        QVERIFY(open.size() == 1 && open[0]->windowTitle() == "使用说明");
        QCOMPARE(open[0]->size(), QSize(640, 720));
        const QPointer<QDialog> alive = open[0];
        QPushButton* close = alive->findChild<QPushButton*>();
        QVERIFY(close && close->text() == "关闭");
        close->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
        rig.form->menuabout->trigger();
        rig.form->Button_help->click(); // the same box
        QCOMPARE(rig.boxes->shown.join('|') + '|',
                 QString("欢迎使用我们公司产品|无线高压验电器数据上传软件(CN)\r   "
                         "如需帮助请联系我们!\r版本 " TESVARON_VERSION "|")
                     .repeated(2));
    }

    // On the history view the table is one Tab stop: the arrows move inside it.
    void keyboardOnHistory()
    {
        Rig rig(records(3));
        Form1& f = *rig.form;
        f.show(), f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QVERIFY(rig.found());
        f.TabStrip1->clickTab(2);
        f.TabStrip1->tabBar()->setFocus();
        QStringList stops;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            stops << QApplication::focusWidget()->objectName();
            if (i == 0) QTest::keyClick(f.DataGrid, Qt::Key_Down);
        }
        QCOMPARE(stops, (QStringList{"DataGrid", "Button_read", "Button_save", "Button_clear",
                                     "Button_print", "Button_help", "Button_close", ""}));
        QCOMPARE(f.DataGrid->currentRow(), 1);
        QTest::keyClick(f.TabStrip1->tabBar(), Qt::Key_Left); // the arrows switch views too
        QVERIFY(f.RealMode && f.DataGrid->isHidden());
    }

    // The whole described layout where the screen's free area has room for it; on a smaller
    // one the window stays inside it and scrolls to every control.
    void fitsTheScreen_data()
    {
        QTest::addColumn<bool>("scrolls"); // named as in screens.json
        QTest::newRow("full-hd") << false;
        QTest::newRow("1080p-at-150-minus-taskbar") << true;
        QTest::newRow("1366x768-minus-taskbar") << false;
    }
    void fitsTheScreen()
    {
        QFETCH(bool, scrolls);
        QScreen* on = nullptr;
        for (QScreen* s : QGuiApplication::screens())
            if (s->name() == QTest::currentDataTag()) on = s;
        QVERIFY(on);
        Rig rig;
        Form1& f = *rig.form;
        f.setScreen(on);
        f.placeOnScreen();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(on->availableGeometry().contains(f.frameGeometry()));
        QCOMPARE(f.Scroll_client->verticalScrollBar()->isVisible(), scrolls);
        QWidget* view = f.Scroll_client->viewport();
        if (!scrolls) QCOMPARE(view->size(), QSize(Form1::ClientWidth, Form1::ClientHeight));
        const QList<QWidget*> controls{f.TabStrip1, f.Button_read, f.Button_close,
                                       f.LabComsta, f.Lab_rtsta,   f.StatusBar1};
        for (QWidget* w : controls) {
            f.Scroll_client->ensureWidgetVisible(w, 0, 0);
            QVERIFY2(view->rect().contains(QRect(w->mapTo(view, QPoint()), w->size())),
                     qPrintable(w->objectName()));
        }
        f.LabComsta->setText("COM16已打开");
        QVERIFY(f.LabComsta->sizeHint().width() <= f.LabComsta->width());
    }

    // Each way an open ends has its caption; the tooltip keeps the system's reason.
    void portCaptions()
    {
        Rig rig({}, 9);
        rig.serial->instrument = nullptr;
        const struct
        {
            OpenOutcome outcome;
            const char *caption, *tip;
        } rows[] = {{OpenOutcome::NotFound, "COM1无效", ""},
                    {OpenOutcome::InUse, "COM2被占用", "/dev/ttyS1: busy"},
                    {OpenOutcome::NoPermission, "COM3无权限", "/dev/ttyS2: denied"},
                    {OpenOutcome::Failed, "COM4打开失败", "/dev/null: Inappropriate ioctl"},
                    {OpenOutcome::Opened, "COM5已打开", "/dev/ttyS4"}};
        for (int com = 1; com <= 5; ++com) {
            rig.serial->outcomes[com] = rows[com - 1].outcome;
            rig.serial->devices[com] = rows[com - 1].tip;
        }
        for (const auto& row : rows) {
            rig.advance(600ms);
            QCOMPARE(rig.form->LabComsta->text(), row.caption);
            QCOMPARE(rig.form->LabComsta->toolTip(), row.tip);
        }
    }

    // Read while a poll is open and then lost: its timeout gives nothing back and starts no
    // polling, so no poll cuts the download; only Close is on until the last block.
    void readWhilePollIsLost()
    {
        sim::SimConfig config = records(25);
        config.turnaround = 150ms;
        Rig rig(config);
        Form1& f = *rig.form;
        QVERIFY(rig.found());
        f.TabStrip1->clickTab(2);
        rig.serial->mangle = [](const QByteArray& r) { return r[2] == 5 ? QByteArray() : r; };
        QVERIFY(rig.until([&] { return f.LinkState == LinkCode::Awaiting; }));
        f.Button_read->click();
        const std::size_t sent = rig.serial->written.size();
        bool commandsOn = false;
        QVERIFY(rig.until([&] {
            if (!f.download().running) return true;
            commandsOn |= f.Button_save->isEnabled() || f.TabStrip1->isEnabled() ||
                          f.Timer_real->Enabled() || f.menuclear->isEnabled();
            return false;
        }));
        QVERIFY(!commandsOn && rig.boxes->shown.isEmpty());
        QCOMPARE(rig.row(25), rig.recordRow(24));
        QString kinds;
        for (std::size_t i = sent; i < rig.serial->written.size(); ++i)
            kinds += QString::number(rig.serial->written[i].bytes[2]);
        QCOMPARE(kinds, "2111");
        QVERIFY(f.Button_save->isEnabled() && f.Timer_real->Enabled());
    }

    // The values and the exchange's status as they change: a reply with a bad checksum is not
    // a success, and a value that is not live reads "--" with its unit, also when saved.
    void realtimeValues()
    {
        sim::SimConfig config;
        config.live = {{{125, 15, 1}, {6000, 3, 0}}};
        auto out = std::make_shared<FakeOutput>();
        Rig rig(config, 1, out);
        Form1& f = *rig.form;
        const auto shown = [&] {
            return QStringList{f.Lab_value_lg->text(), f.Lab_value_ll->text(),
                               f.Lab_value_a->text(), f.Lab_rtsta->text(),
                               f.Lab_value_lg->isEnabled() ? "live" : "grey"}
                .join(' ');
        };
        QStringList seen{shown()};
        const auto watch = [&](std::chrono::milliseconds span, const std::function<bool()>& stop) {
            rig.until(
                [&] {
                    if (seen.last() != shown()) seen << shown();
                    return stop();
                },
                span);
        };
        rig.serial->mangle = [](QByteArray r) {
            if (!r.isEmpty()) r.back() = char(r.back() ^ 1); // the checksum
            return r;
        };
        watch(6s, [] { return false; });
        rig.serial->mangle = nullptr;
        watch(20s, [&] { return f.Lab_value_a->text() == "NO--"; });
        rig.serial->instrument = nullptr;
        watch(5s, [] { return false; });
        QCOMPARE(seen,
                 (QStringList{"--kV --kV --A 正在查找仪器 grey", // bad replies: still searching
                              "--kV --kV --A 通讯成功 grey", "13kV 35kV 1.5A 通讯成功 live",
                              "NO-- NO-- NO-- 通讯成功 live", "--kV --kV --A 通讯失败 grey"}));
        out->chooseIndex = 2;
        f.Button_save->click();
        QCOMPARE(fileBytes(out->dir.filePath("out.txt")), realtimeTextFile("--kV", "--kV", "--A"));
    }

    // Clear empties the table but for its titles and numbers; Close stops every timer, and the
    // reply on its way is never taken.
    void clearAndClose()
    {
        Rig rig(records(12));
        Form1& f = *rig.form;
        QVERIFY(rig.found() && rig.download());
        f.Button_clear->click();
        QVERIFY(f.history().rows().isEmpty());
        QCOMPARE(rig.row(12), (QStringList{"", "", ""}));
        QCOMPARE(f.DataGrid->TextMatrix(12, 0) + f.DataGrid->TextMatrix(0, 3), "12   电      流");
        QVERIFY(rig.until([&] { return f.LinkState == LinkCode::Awaiting; }));
        QTimer::singleShot(0, f.Button_close, &QToolButton::click); // and the program ends
        QCOMPARE(QCoreApplication::exec(), 0);
        for (PeriodicTimer* t :
             {f.Timer_date, f.Timer_findcom, f.Timer_real, f.Timer_read, f.Timer_timeout})
            QVERIFY(!t->Enabled());
        const std::size_t sent = rig.serial->written.size();
        rig.advance(10s);
        QCOMPARE(rig.serial->written.size(), sent);
        QVERIFY(f.LinkState == LinkCode::Awaiting && !f.MSComm1->PortOpen());
    }

    // The whole window as drawn, at start-up, in the middle of a download and after it:
    // geometry, fonts, captions, icons, the table and the menus.
    void looksAsDescribed_data()
    {
        QTest::addColumn<int>("rowsRead"); // -1: no download
        QTest::newRow("window") << -1;
        QTest::newRow("window-downloading") << 10;
        QTest::newRow("window-history") << 25;
    }
    void looksAsDescribed()
    {
        Rig rig(records(25));
        Form1& f = *rig.form;
        if (fetched<int>("rowsRead") >= 0) {
            QVERIFY(rig.found());
            f.TabStrip1->clickTab(2);
            f.Button_read->click();
            QVERIFY(rig.until([&] { return f.download().rowsRead == fetched<int>("rowsRead"); }));
        }
        f.StatusPanels[0]->setText("2026/12/7");
        f.StatusPanels[2]->setText("10:15:02");
        f.show();
        QVERIFY(looksAsGolden(f, QTest::currentDataTag()));
    }

    // The program itself: --version and --help answer without a display, an unknown option is
    // refused, and a second copy hands over to the running one and ends.
    void program()
    {
        if (QSysInfo::kernelType() == "winnt") QSKIP("Qt answers --help in a message box there");
        QTemporaryDir home, runtime; // both private
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TESVARON_PORTS"})
            env.insert(name, home.path());
        env.insert("XDG_RUNTIME_DIR", runtime.path()), env.insert("LC_ALL", "zh_CN.UTF-8");
        QProcess first, other;
        first.setProcessEnvironment(env), other.setProcessEnvironment(env);
        const auto run = [&](const QStringList& args) {
            other.start(TESVARON_APP_BINARY, args);
            return other.waitForFinished(30000) ? other.exitCode() : -1;
        };
        QVERIFY(run({"--version"}) == 0 &&
                other.readAllStandardOutput() == "tesvaron " TESVARON_VERSION "\n");
        QVERIFY(run({"--help"}) == 0 &&
                readsAsGolden(QString(other.readAllStandardOutput()).split('\n'), "program-help",
                              "/\\S+/"));
        QCOMPARE(run({"--bogus"}), 1);
        first.start(TESVARON_APP_BINARY, {});
        QTRY_VERIFY(QFileInfo::exists(home.filePath("tesvaron/archive.sqlite")));
        QVERIFY(run({}) == 0 && first.state() == QProcess::Running);
        first.kill(), first.waitForFinished();
    }

    // What listeners are told: the instrument, each reading, a download's start, total, rows and
    // end (whole or cut short), and the session's end when the window closes.
    void measurementsAnnounced()
    {
        sim::SimConfig config;
        config.records = {{{125, 15, 1}, {6000, 250, 2}, {33, 7, 0}}};
        config.live = {{{125, 15, 1}, {6000, 3, 0}}};
        Rig rig(config, 2);
        EventLog log;
        rig.form->addMeasurementListener(&log);
        QVERIFY(rig.found());
        rig.advance(3100ms);
        QVERIFY(rig.download());
        rig.serial->mangle = [](const QByteArray& reply) {
            return reply[2] == 1 ? QByteArray() : reply;
        };
        QVERIFY(rig.download());
        rig.form->removeMeasurementListener(&log);
        rig.form->addMeasurementListener(&log);
        rig.form->Button_close->click();
        QCOMPARE(log.lines,
                 (QStringList{"found COM2 /dev/ttyUSB0", "reading 12.5/35/1.5 13kV 35kV 1.5A",
                              "reading 600/220/3 NO-- NO-- NO-- over", "start COM2", "total 3",
                              "rows 1..3 12.5/35/1.5 13kV 35kV 1.5A", "end 1 3 3", "start COM2",
                              "total 3", "end 0 3 0", "lost"}));
    }

    // Save types, proposed names, the picture taken before the dialog, printing.
    void saveAndPrint()
    {
        auto out = std::make_shared<FakeOutput>();
        Rig rig(records(2), 1, out);
        QVERIFY(rig.found());
        rig.advance(1600ms);
        Form1& f = *rig.form;
        out->chooseIndex = 2; // text, from a dialog that opened on the picture type
        f.Button_save->click();
        QCOMPARE(fileBytes(out->dir.filePath("out.txt")),
                 "    \xB6\xD4\xB5\xD8\xB5\xE7\xD1\xB9    " + f.Lab_value_lg->text().toLatin1() +
                     "\r\n" + QByteArray(9, ' ') + "\xCF\xDF\xB5\xE7\xD1\xB9    " +
                     f.Lab_value_ll->text().toLatin1() + "\r\n" + QByteArray(9, ' ') +
                     "\xB5\xE7     \xC1\xF7    " + f.Lab_value_a->text().toLatin1() + "\r\n");
        out->chooseIndex = 1; // the picture, chosen only in the dialog
        f.Button_save->click();
        QCOMPARE(QImage(out->dir.filePath("out.jpg")).pixelColor(1, 1).red(), 40);
        QVERIFY(fileBytes(out->dir.filePath("out.jpg")).startsWith(hex("FF D8 FF")));
        QVERIFY(QDir(out->defaultFolder()).exists());
        QVERIFY(
            QRegularExpression("^实时-\\d{8}-\\d{4}\\.jpg$").match(out->proposed[0]).hasMatch());
        QVERIFY(out->proposed[1].endsWith(".txt"));
        QCOMPARE(out->clipboard.pixelColor(1, 1).red(), 20);

        QVERIFY(rig.download());
        for (const int index : {0, 2, 3, 1}) {
            out->chooseIndex = index;
            f.Button_save->click();
        }
        QVERIFY(out->proposed[2].startsWith("历史记录-") && out->proposed[2].endsWith(".txt"));
        QCOMPARE(out->proposed[3].right(4) + out->proposed[4].right(4) + out->proposed[5].right(5),
                 ".txt.xls.xlsx");
        SheetCells grid(100, std::vector<SheetCell>(4));
        for (int i = 0; i < 400; ++i)
            grid[std::size_t(i / 4)][std::size_t(i % 4)] = {f.DataGrid->TextMatrix(i / 4, i % 4),
                                                            true};
        QCOMPARE(fileBytes(out->dir.filePath("out.xls")), biff8Workbook(grid));
        QVERIFY(fileBytes(out->dir.filePath("out.xlsx")).startsWith("PK"));
        QVERIFY(fileBytes(out->dir.filePath("out.txt")).contains(rig.recordRow(1)[2].toLatin1()));
        // The typed name decides: an offered type's extension picks its writer, any other
        // gets the chosen type's appended. The status bar names the file for 10 s.
        out->typed = "报告.xlsx";
        f.Button_save->click(); // the text type is chosen
        QVERIFY(fileBytes(out->dir.filePath("报告.xlsx")).startsWith("PK") &&
                f.StatusPanels[1]->text().endsWith("报告.xlsx"));
        out->typed = "报告.doc";
        f.Button_save->click();
        QVERIFY(
            fileBytes(out->dir.filePath("报告.doc.txt")).startsWith(QByteArray(5, ' ') + "NO."));
        const QString saved =
            "已保存：" + QDir::toNativeSeparators(out->dir.filePath("报告.doc.txt"));
        QCOMPARE(f.StatusPanels[1]->text(), saved);
        rig.advance(9999ms);
        QCOMPARE(f.StatusPanels[1]->text(), saved);
        rig.advance(1ms);
        QCOMPARE(f.StatusPanels[1]->text(), "无线高压验电器（带电压指示）");
        out->typed.clear();

        out->pdf = out->dir.filePath("打印.pdf");
        f.Button_print->click();
        QCOMPARE(f.StatusPanels[1]->text(), "已打印到：" + QDir::toNativeSeparators(out->pdf));
        out->pdf.clear();
        QVERIFY(readsAsGolden(out->printed, "print-history"));
        out->printed.clear();
        f.TabStrip1->clickTab(1);
        f.Button_print->click();
        QVERIFY(readsAsGolden(out->printed, "print-realtime"));

        // A save that fails (under a regular file, which root cannot write in either) says so
        // once, naming the file.
        out->under = "out.jpg/";
        out->chooseIndex = 2;
        f.Button_save->click();
        QCOMPARE(rig.boxes->shown.join('|').count(QDir::toNativeSeparators("out.jpg/out.txt")), 1);
        out->cancel = true; // cancelled: nothing printed or saved; the last print is still named
        out->printed.clear(), f.Button_print->click(), f.Button_save->click();
        QVERIFY(out->printed.isEmpty() && f.StatusPanels[1]->text().endsWith("打印.pdf"));
    }
};

// Offscreen, the screens are those of screens.json: full HD first, then two small ones.
int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" + qgetenv("TESVARON_TEST_DATA") + "/screens.json");
    QApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_window.moc"
