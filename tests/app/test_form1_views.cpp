// Switching views and the Read, Clear, Help and Close commands, with their enable tables.

#include "app/tab_strip.h"
#include "tests/support/form_rig.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

// The enabled state of every command as "button/menu" pairs, in a fixed order.
QString commands(const Form1& f)
{
    auto bit = [](bool on) { return on ? '1' : '0'; };
    QString s;
    s += bit(f.Button_read->isEnabled());
    s += bit(f.menuread->isEnabled());
    s += ' ';
    s += bit(f.Button_save->isEnabled());
    s += bit(f.menusave->isEnabled());
    s += ' ';
    s += bit(f.Button_clear->isEnabled());
    s += bit(f.menuclear->isEnabled());
    s += ' ';
    s += bit(f.Button_print->isEnabled());
    s += bit(f.menuprint->isEnabled());
    s += ' ';
    s += bit(f.Button_help->isEnabled());
    s += bit(isEnabled(f.menuhelp));
    s += ' ';
    s += bit(f.Button_close->isEnabled());
    s += bit(f.menuclose->isEnabled());
    s += ' ';
    s += bit(f.TabStrip1->isEnabled());
    return s;
}

} // namespace

class ViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void historyTabBeforeInstrumentFound()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.TabStrip1->clickTab(2);
        QCOMPARE(f.TabStrip1->SelectedItem(), 2);
        QCOMPARE(f.RealMode, false);
        QVERIFY(!f.Frame_realtime->isVisibleTo(&f));
        QVERIFY(f.DataGrid->isVisibleTo(&f));
        QVERIFY(f.Timer_real->Enabled());
        // Read stays as it was (disabled) until the instrument has answered.
        QCOMPARE(commands(f), QStringLiteral("00 11 11 11 11 11 1"));
    }

    void historyTabAfterInstrumentFound()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = true;
        f.TabStrip1->clickTab(2);
        QCOMPARE(commands(f), QStringLiteral("11 11 11 11 11 11 1"));
    }

    void backToRealtime()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = true;
        f.TabStrip1->clickTab(2);
        f.Progress_read->show();
        f.Lab_value_lg->setText(QStringLiteral("12kV"));
        f.DataGrid->setTextMatrix(3, 1, QStringLiteral("9.9kV"));
        f.TabStrip1->clickTab(1);
        QCOMPARE(f.RealMode, true);
        QVERIFY(f.Frame_realtime->isVisibleTo(&f));
        QVERIFY(!f.DataGrid->isVisibleTo(&f));
        QVERIFY(!f.Progress_read->isVisibleTo(&f));
        QVERIFY(f.Timer_real->Enabled());
        QCOMPARE(commands(f), QStringLiteral("00 11 00 11 11 11 1"));
        // Views keep what they showed.
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("12kV"));
        QCOMPARE(f.DataGrid->TextMatrix(3, 1), QStringLiteral("9.9kV"));
    }

    void repeatedClickOnSelectedTab()
    {
        for (int tab : {1, 2}) {
            FormRig rig;
            Form1& f = *rig.form;
            f.TabStrip1->clickTab(tab);
            const QString once = commands(f);
            const bool mode = f.RealMode;
            // Something the click undoes, to see that it runs again.
            f.Button_save->setEnabled(false);
            f.TabStrip1->clickTab(tab);
            QCOMPARE(commands(f), once);
            QCOMPARE(f.RealMode, mode);
            QCOMPARE(f.TabStrip1->SelectedItem(), tab);
        }
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
        FormRig rig;
        Form1& f = *rig.form;
        // Realtime view, even with the instrument found and the menu item enabled.
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
