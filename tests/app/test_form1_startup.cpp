// The window right after start-up: state, widgets, commands, timers, status bar, history grid.

#include "app/tab_strip.h"
#include "tests/support/form_rig.h"

#include <QAction>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace tesvaron::test;

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void stateFields()
    {
        FormRig rig;
        Form1& f = *rig.form;
        QCOMPARE(f.ComNo, 1);
        QCOMPARE(f.ComFound, false);
        QCOMPARE(f.RealMode, true);
        QCOMPARE(f.LinkState, 0);
        QCOMPARE(f.RecTotal, 0);
        QCOMPARE(f.RecBlock, 0);
        QCOMPARE(f.RxNeed, 0);
        QCOMPARE(f.RxCount, 0);
        QVERIFY(f.RxBuf.isEmpty());
        QVERIFY(std::all_of(f.RxFrame.begin(), f.RxFrame.end(), [](auto b) { return b == 0; }));
        QVERIFY(f.VoltText.isEmpty() && f.VoltUnit.isEmpty() && f.CurrText.isEmpty());
        QVERIFY(!f.MSComm1->PortOpen());
    }

    void commandsButtonVersusMenu()
    {
        FormRig rig;
        Form1& f = *rig.form;
        QVERIFY(!f.Button_read->isEnabled());
        QVERIFY(!f.menuread->isEnabled());
        QVERIFY(f.Button_save->isEnabled() && f.menusave->isEnabled());
        // Clear: the button starts disabled, its menu item enabled.
        QVERIFY(!f.Button_clear->isEnabled());
        QVERIFY(f.menuclear->isEnabled());
        QVERIFY(f.Button_print->isEnabled() && f.menuprint->isEnabled());
        QVERIFY(f.Button_help->isEnabled() && isEnabled(f.menuhelp) && f.menuabout->isEnabled());
        QVERIFY(f.Button_close->isEnabled() && f.menuclose->isEnabled());
        QVERIFY(f.TabStrip1->isEnabled());
        QCOMPARE(f.TabStrip1->SelectedItem(), 1);
    }

    void timers()
    {
        FormRig rig;
        Form1& f = *rig.form;
        using std::chrono::milliseconds;
        QCOMPARE(f.Timer_date->Interval(), milliseconds(1000));
        QCOMPARE(f.Timer_findcom->Interval(), milliseconds(600));
        QCOMPARE(f.Timer_real->Interval(), milliseconds(1500));
        QCOMPARE(f.Timer_read->Interval(), milliseconds(30));
        QCOMPARE(f.Timer_timeout->Interval(), milliseconds(2500));
        QVERIFY(f.Timer_date->Enabled());
        QVERIFY(f.Timer_findcom->Enabled());
        QVERIFY(f.Timer_timeout->Enabled());
        QVERIFY(!f.Timer_real->Enabled());
        QVERIFY(!f.Timer_read->Enabled());
        // Start-up opens no port and sends nothing.
        QCOMPARE(rig.serial->opens(), 0);
        QVERIFY(rig.serial->written().empty());
    }

    void initialTexts()
    {
        FormRig rig;
        Form1& f = *rig.form;
        QCOMPARE(f.windowTitle(), QStringLiteral("Wireless High Voltage Tesvaron"));
        QCOMPARE(f.Lab_testpro->text(), QStringLiteral("对地电压:"));
        QCOMPARE(f.Label2->text(), QStringLiteral("  线电压:"));
        QCOMPARE(f.Label1->text(), QStringLiteral("  电  流:"));
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("0.0kV"));
        QCOMPARE(f.Lab_value_ll->text(), QStringLiteral("0.0kV"));
        QCOMPARE(f.Lab_value_a->text(), QStringLiteral("0.0A"));
        QCOMPARE(f.LabComsta->text(), QStringLiteral("串口状态"));
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("连接失败"));
        QCOMPARE(f.Frame_realtime->title(), QString());
        const QStringList buttons{f.Button_read->text(),  f.Button_save->text(),
                                  f.Button_clear->text(), f.Button_print->text(),
                                  f.Button_help->text(),  f.Button_close->text()};
        QCOMPARE(buttons, (QStringList{"读取", "保存", "清空", "打印", "帮助", "关闭"}));
        QCOMPARE(f.TabStrip1->tabBar()->count(), 2);
        QCOMPARE(f.TabStrip1->tabBar()->tabText(0), QStringLiteral("实时监控"));
        QCOMPARE(f.TabStrip1->tabBar()->tabText(1), QStringLiteral("历史记录"));
        QVERIFY(f.Frame_realtime->isVisibleTo(&f));
        QVERIFY(!f.DataGrid->isVisibleTo(&f));
        QVERIFY(!f.Progress_read->isVisibleTo(&f));
    }

    void menuTree()
    {
        FormRig rig;
        Form1& f = *rig.form;
        QStringList bar;
        for (QAction* a : f.menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{"文件", "操作", "帮助"}));
        auto items = [](QMenu* m) {
            QStringList out;
            for (QAction* a : m->actions()) {
                out << a->text();
                if (!a->shortcut().isEmpty()) out << "shortcut!";
            }
            return out;
        };
        QCOMPARE(items(f.menufile), (QStringList{"读取", "保存", "关闭"}));
        QCOMPARE(items(f.menuoprate), (QStringList{"清空", "打印"}));
        QCOMPARE(items(f.menuhelp), (QStringList{"关于软件"}));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("TabStrip1") << "TabStrip1" << QRect(64, 56, 545, 529);
        QTest::newRow("Frame_realtime") << "Frame_realtime" << QRect(72, 96, 529, 481);
        QTest::newRow("Lab_testpro") << "Lab_testpro" << QRect(48, 112, 176, 41);
        QTest::newRow("Lab_value_lg") << "Lab_value_lg" << QRect(240, 104, 241, 53);
        QTest::newRow("Label2") << "Label2" << QRect(48, 224, 178, 41);
        QTest::newRow("Lab_value_ll") << "Lab_value_ll" << QRect(240, 216, 241, 53);
        QTest::newRow("Label1") << "Label1" << QRect(48, 336, 180, 41);
        QTest::newRow("Lab_value_a") << "Lab_value_a" << QRect(240, 328, 241, 53);
        QTest::newRow("Progress_read") << "Progress_read" << QRect(200, 272, 257, 15);
        QTest::newRow("Button_read") << "Button_read" << QRect(664, 56, 73, 57);
        QTest::newRow("Button_save") << "Button_save" << QRect(664, 136, 73, 57);
        QTest::newRow("Button_clear") << "Button_clear" << QRect(664, 208, 73, 57);
        QTest::newRow("Button_print") << "Button_print" << QRect(664, 280, 73, 57);
        QTest::newRow("Button_help") << "Button_help" << QRect(664, 352, 73, 57);
        QTest::newRow("Button_close") << "Button_close" << QRect(664, 424, 73, 57);
        QTest::newRow("LabComsta") << "LabComsta" << QRect(656, 512, 97, 25);
        QTest::newRow("Lab_rtsta") << "Lab_rtsta" << QRect(656, 552, 97, 25);
        QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 617, 777, 33);
        QTest::newRow("DataGrid") << "DataGrid" << QRect(67, 96, 500, 472);
    }

    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        FormRig rig;
        Form1& f = *rig.form;
        const QHash<QString, QWidget*> widgets{{"TabStrip1", f.TabStrip1},
                                               {"Frame_realtime", f.Frame_realtime},
                                               {"Lab_testpro", f.Lab_testpro},
                                               {"Lab_value_lg", f.Lab_value_lg},
                                               {"Label2", f.Label2},
                                               {"Lab_value_ll", f.Lab_value_ll},
                                               {"Label1", f.Label1},
                                               {"Lab_value_a", f.Lab_value_a},
                                               {"Progress_read", f.Progress_read},
                                               {"Button_read", f.Button_read},
                                               {"Button_save", f.Button_save},
                                               {"Button_clear", f.Button_clear},
                                               {"Button_print", f.Button_print},
                                               {"Button_help", f.Button_help},
                                               {"Button_close", f.Button_close},
                                               {"LabComsta", f.LabComsta},
                                               {"Lab_rtsta", f.Lab_rtsta},
                                               {"StatusBar1", f.StatusBar1},
                                               {"DataGrid", f.DataGrid}};
        QCOMPARE(widgets.value(name)->geometry(), rect);
        // The client area below the menu bar is fixed at 777 x 650.
        QCOMPARE(f.centralWidget()->size(), QSize(777, 650));
    }

    void fonts()
    {
        FormRig rig;
        Form1& f = *rig.form;
        for (QLabel* l : {f.Lab_testpro, f.Label2, f.Label1}) {
            QCOMPARE(l->font().pointSizeF(), 27.75);
            QVERIFY(l->font().bold());
        }
        for (QLabel* l : {f.Lab_value_lg, f.Lab_value_ll, f.Lab_value_a}) {
            QCOMPARE(l->font().pointSizeF(), 36.0);
            QVERIFY(l->font().bold());
        }
        for (QLabel* l : {f.LabComsta, f.Lab_rtsta}) {
            QCOMPARE(l->font().pointSizeF(), 12.0);
            QVERIFY(!l->font().bold());
        }
        QCOMPARE(f.TabStrip1->font().pointSizeF(), 12.0);
        QVERIFY(f.TabStrip1->font().bold());
        QCOMPARE(f.DataGrid->font().pointSizeF(), 9.0);
        QVERIFY(!f.DataGrid->font().bold());
        // The Song face must resolve to an installed CJK Song font with a real bold face.
        const QFontInfo info(f.Lab_value_lg->font());
        QVERIFY2(info.family().contains(QStringLiteral("Noto Serif CJK")),
                 qPrintable(info.family()));
        QVERIFY(info.bold());
    }

    void focusOrder()
    {
        FormRig rig;
        Form1& f = *rig.form;
        const QList<QWidget*> expected{f.TabStrip1->tabBar(), f.DataGrid,     f.Button_read,
                                       f.Button_save,         f.Button_clear, f.Button_print,
                                       f.Button_help,         f.Button_close};
        QWidget* w = expected.first();
        for (int i = 1; i < expected.size(); ++i) {
            do {
                w = w->nextInFocusChain();
            } while (!(w->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w, expected.at(i));
        }
        for (QLabel* l : f.findChildren<QLabel*>())
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        QCOMPARE(f.Progress_read->focusPolicy(), Qt::NoFocus);
    }

    void statusBarPanels()
    {
        FormRig rig;
        Form1& f = *rig.form;
        QCOMPARE(f.StatusPanels[0]->width(), 96);
        QCOMPARE(f.StatusPanels[1]->width(), 583);
        QCOMPARE(f.StatusPanels[2]->width(), 96);
        QCOMPARE(f.StatusPanels[1]->text(), QStringLiteral("无线高压验电器\uFF08带电压指示\uFF09"));
        for (int i : {0, 2}) {
            QVERIFY(!f.StatusPanels[i]->text().isEmpty());
            QVERIFY(f.StatusPanels[i]->text() != QLatin1String("date"));
            QVERIFY(f.StatusPanels[i]->text() != QLatin1String("time"));
        }
        // The time panel carries seconds and the date panel no time of day.
        const QString time = f.StatusPanels[2]->text();
        QVERIFY2(time.count(QLatin1Char(':')) == 2, qPrintable(time));
        QVERIFY(!f.StatusPanels[0]->text().contains(QLatin1Char(':')));
    }

    void clockTicksEverySecond()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.StatusPanels[0]->setText(QStringLiteral("x"));
        f.StatusPanels[2]->setText(QStringLiteral("y"));
        rig.advance(999);
        QCOMPARE(f.StatusPanels[2]->text(), QStringLiteral("y"));
        rig.advance(1);
        QVERIFY(f.StatusPanels[0]->text() != QLatin1String("x"));
        QVERIFY(f.StatusPanels[2]->text() != QLatin1String("y"));
        QCOMPARE(f.StatusPanels[1]->text(), QStringLiteral("无线高压验电器（带电压指示）"));
    }

    void gridAfterInit()
    {
        FormRig rig;
        FlexGrid& g = *rig.form->DataGrid;
        QCOMPARE(g.Rows(), 100);
        QCOMPARE(g.Cols(), 4);
        QCOMPARE(g.TextMatrix(0, 0), QStringLiteral("NO."));
        QCOMPARE(g.TextMatrix(0, 1), QStringLiteral("对地电压"));
        QCOMPARE(g.TextMatrix(0, 2), QStringLiteral("    线电压  "));
        QCOMPARE(g.TextMatrix(0, 3), QStringLiteral("   电      流"));
        for (int r = 1; r < 100; ++r) {
            QCOMPARE(g.TextMatrix(r, 0), QString::number(r));
            for (int c = 1; c < 4; ++c)
                QVERIFY(g.TextMatrix(r, c).isEmpty());
        }
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(g.ColWidth(c), 1800);
            QCOMPARE(g.ColAlignment(c), FlexGrid::AlignCenterCenter);
        }
        for (int r : {0, 1, 50, 99})
            QCOMPARE(g.RowHeight(r), 300);
        QCOMPARE(g.columnWidth(0), 120);
        QCOMPARE(g.rowHeight(0), 20);
        // Record cells are centred; the header row scrolls with nothing.
        QCOMPARE(g.item(0, 0)->textAlignment(), int(Qt::AlignCenter));
        g.scrollToBottom();
        QVERIFY(g.horizontalHeader()->isVisibleTo(&g));
    }

    void gridInitOnFilledTable()
    {
        FormRig rig;
        Form1& f = *rig.form;
        FlexGrid& g = *f.DataGrid;
        const QRect before = g.geometry();
        for (int r = 1; r < 100; ++r)
            for (int c = 0; c < 4; ++c)
                g.setTextMatrix(r, c, QStringLiteral("x%1").arg(r));
        g.setTextMatrix(0, 2, QStringLiteral("changed"));
        f.GridInit();
        QCOMPARE(g.geometry(), before);
        QCOMPARE(g.Rows(), 100);
        QCOMPARE(g.TextMatrix(0, 2), QStringLiteral("    线电压  "));
        for (int r = 1; r < 100; ++r) {
            QCOMPARE(g.TextMatrix(r, 0), QString::number(r));
            for (int c = 1; c < 4; ++c)
                QVERIFY(g.TextMatrix(r, c).isEmpty());
        }
        QCOMPARE(g.TextMatrix(100, 0), QString()); // there is no row 100
    }
};

QTEST_MAIN(StartupTest)
#include "test_form1_startup.moc"
