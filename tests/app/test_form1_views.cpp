// Switching views and the Read, Clear, Help and Close commands, with their enable tables.

#include "tests/support/form_rig.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

class ViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void tabs_data()
    {
        QTest::addColumn<bool>("found"); // ComFound
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("offered");
        // Read stays as it was (disabled) until the instrument has answered.
        QTest::newRow("history before the instrument answered")
            << false << QList{2} << "00 11 11 11 11 11 1";
        QTest::newRow("history after it answered") << true << QList{2} << "11 11 11 11 11 11 1";
        QTest::newRow("back to realtime") << true << QList{2, 1} << "00 11 00 11 11 11 1";
        // Clicking the tab already selected repeats the same steps.
        QTest::newRow("realtime again") << true << QList{1, 1} << "00 11 00 11 11 11 1";
        QTest::newRow("history again") << true << QList{2, 2} << "11 11 11 11 11 11 1";
    }

    void tabs()
    {
        QFETCH(bool, found);
        QFETCH(QList<int>, clicks);
        QFETCH(QString, offered);
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = found;
        f.Progress_read->show();
        f.Lab_value_lg->setText(QStringLiteral("12kV"));
        f.DataGrid->setTextMatrix(3, 1, QStringLiteral("9.9kV"));
        for (int tab : clicks) {
            f.Button_save->setEnabled(false); // every click gives it back
            f.TabStrip1->clickTab(tab);
        }
        const bool realtime = clicks.last() == 1;
        QCOMPARE(f.TabStrip1->SelectedItem(), clicks.last());
        QCOMPARE(f.RealMode, realtime);
        QCOMPARE(f.Frame_realtime->isVisibleTo(&f), realtime);
        QCOMPARE(f.DataGrid->isVisibleTo(&f), !realtime);
        // The history tab leaves the progress bar alone.
        QCOMPARE(f.Progress_read->isVisibleTo(&f), !realtime);
        QVERIFY(f.Timer_real->Enabled());
        QCOMPARE(commands(f), offered);
        // Views keep what they showed.
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("12kV"));
        QCOMPARE(f.DataGrid->TextMatrix(3, 1), QStringLiteral("9.9kV"));
    }

    void keyboardTabChangeSwitchesView()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.TabStrip1->tabBar()->setCurrentIndex(1);
        QCOMPARE(f.RealMode, false);
        QVERIFY(f.DataGrid->isVisibleTo(&f));
    }

    void readIgnoredOutsideHistoryOrBeforeFound()
    {
        // Realtime view, even with the instrument found and the menu item enabled.
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = true;
        f.menuread->setEnabled(true);
        f.menuread->trigger();
        QVERIFY(!f.Timer_read->Enabled());
        QVERIFY(f.TabStrip1->isEnabled());
        // History view before the instrument has answered.
        FormRig rig2;
        Form1& g = *rig2.form;
        g.TabStrip1->clickTab(2);
        g.Button_read_Click();
        QVERIFY(!g.Timer_read->Enabled());
        QCOMPARE(commands(g), QStringLiteral("00 11 11 11 11 11 1"));
    }

    void readStartsDownloadState()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = true;
        f.TabStrip1->clickTab(2);
        f.DataGrid->setTextMatrix(5, 1, QStringLiteral("1.0kV"));
        f.Button_read->click();
        QCOMPARE(commands(f), QStringLiteral("00 00 00 00 00 11 0"));
        QVERIFY(!f.Timer_real->Enabled());
        QVERIFY(f.Timer_read->Enabled());
        // The table is not emptied and no state field moves.
        QCOMPARE(f.DataGrid->TextMatrix(5, 1), QStringLiteral("1.0kV"));
        QCOMPARE(f.RecTotal, 0);
        QCOMPARE(f.LinkState, 0);
        // The view cannot change during the download.
        f.TabStrip1->clickTab(1);
        QCOMPARE(f.RealMode, false);
    }

    void clearFromMenuRightAfterStartup()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.DataGrid->setTextMatrix(7, 3, QStringLiteral("12.3A"));
        f.RecTotal = 7;
        const QString before = commands(f);
        f.menuclear->trigger();
        QCOMPARE(f.DataGrid->TextMatrix(7, 3), QString());
        QCOMPARE(f.DataGrid->TextMatrix(7, 0), QStringLiteral("7"));
        QVERIFY(!f.DataGrid->isVisibleTo(&f));
        QCOMPARE(f.RecTotal, 7);
        QCOMPARE(f.RealMode, true);
        QCOMPARE(commands(f), before);
    }

    void aboutBox()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.menuabout->trigger();
        f.TabStrip1->clickTab(2);
        f.Button_help->click();
        QCOMPARE(rig.boxes->shown.size(), size_t(2));
        for (const ShownBox& box : rig.boxes->shown) {
            QCOMPARE(box.title, QStringLiteral("欢迎使用我们公司产品"));
            QCOMPARE(box.text,
                     QStringLiteral("无线高压验电器数据上传软件(CN)\r   如需帮助请联系我们!\r"));
            QCOMPARE(box.icon, MessageBoxSeam::Icon::Information);
        }
        // Shown as two lines.
        QCOMPARE(displayLines(rig.boxes->shown[0].text).split('\n'),
                 (QStringList{"无线高压验电器数据上传软件(CN)", "   如需帮助请联系我们!"}));
    }

    void closeWithPortOpenAndClosed()
    {
        for (bool open : {true, false}) {
            FormRig rig;
            Form1& f = *rig.form;
            rig.serial->setOutcome(1, OpenOutcome::Opened);
            if (open) f.ComOpen(1);
            QCOMPARE(f.MSComm1->PortOpen(), open);
            f.Button_close_Click();
            QVERIFY(!f.MSComm1->PortOpen());
            QVERIFY(f.closing());
            // Nothing runs after Close: no tick sends or writes anything.
            const size_t writes = rig.serial->written().size();
            const int opens = rig.serial->opens();
            f.StatusPanels[2]->setText(QStringLiteral("frozen"));
            rig.advance(10000);
            QCOMPARE(rig.serial->written().size(), writes);
            QCOMPARE(rig.serial->opens(), opens);
            QCOMPARE(f.StatusPanels[2]->text(), QStringLiteral("frozen"));
        }
    }
};

QTEST_MAIN(ViewsTest)
#include "test_form1_views.moc"
