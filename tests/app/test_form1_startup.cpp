// The window right after start-up: state, widgets, commands, timers, status bar, history grid.

#include "tests/support/form_rig.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

// Row 0 holds the headers, column 0 of rows 1..99 the row numbers, every other cell nothing.
void checkFreshGrid(const FlexGrid& g)
{
    QCOMPARE(g.Rows(), 100);
    QCOMPARE(g.Cols(), 4);
    QCOMPARE((QStringList{g.TextMatrix(0, 0), g.TextMatrix(0, 1), g.TextMatrix(0, 2),
                          g.TextMatrix(0, 3)}),
             (QStringList{"NO.", "对地电压", "    线电压  ", "   电      流"}));
    for (int r = 1; r < 100; ++r) {
        QCOMPARE(g.TextMatrix(r, 0), QString::number(r));
        for (int c = 1; c < 4; ++c)
            QVERIFY(g.TextMatrix(r, c).isEmpty());
    }
    QCOMPARE(g.TextMatrix(100, 0), QString()); // there is no row 100
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FormRig> rig;
    Form1* f = nullptr;

private slots:
    void init()
    {
        rig = std::make_unique<FormRig>();
        f = rig->form.get();
    }

    void stateAndTimers()
    {
        // ComNo, ComFound, RealMode, LinkState, RecTotal, RecBlock, RxNeed, RxCount
        QCOMPARE((QList<int>{f->ComNo, f->ComFound, f->RealMode, f->LinkState, f->RecTotal,
                             f->RecBlock, f->RxNeed, f->RxCount}),
                 (QList<int>{1, 0, 1, 0, 0, 0, 0, 0}));
        QVERIFY(f->RxBuf.isEmpty());
        QVERIFY(std::all_of(f->RxFrame.begin(), f->RxFrame.end(), [](auto b) { return b == 0; }));
        QVERIFY(f->VoltText.isEmpty() && f->VoltUnit.isEmpty() && f->CurrText.isEmpty());
        const std::tuple<PeriodicTimer*, int, bool> timers[] = {{f->Timer_date, 1000, true},
                                                                {f->Timer_findcom, 600, true},
                                                                {f->Timer_real, 1500, false},
                                                                {f->Timer_read, 30, false},
                                                                {f->Timer_timeout, 2500, true}};
        for (const auto& [timer, ms, running] : timers) {
            QCOMPARE(timer->Interval(), std::chrono::milliseconds(ms));
            QCOMPARE(timer->Enabled(), running);
        }
        // Start-up opens no port and sends nothing.
        QVERIFY(!f->MSComm1->PortOpen());
        QCOMPARE(rig->serial->opens(), 0);
        QVERIFY(rig->serial->written().empty());
    }

    void commandsAndTexts()
    {
        // Clear: the button starts disabled, its menu item enabled.
        QCOMPARE(commands(*f), QStringLiteral("00 11 01 11 11 11 1"));
        QVERIFY(f->menuabout->isEnabled());
        QCOMPARE(f->TabStrip1->SelectedItem(), 1);
        QCOMPARE(f->windowTitle(), QStringLiteral("Wireless High Voltage Tesvaron"));
        const QStringList labels{f->Lab_testpro->text(),  f->Label2->text(),
                                 f->Label1->text(),       f->Lab_value_lg->text(),
                                 f->Lab_value_ll->text(), f->Lab_value_a->text(),
                                 f->LabComsta->text(),    f->Lab_rtsta->text()};
        QCOMPARE(labels, (QStringList{"对地电压:", "  线电压:", "  电  流:", "0.0kV", "0.0kV",
                                      "0.0A", "串口状态", "连接失败"}));
        QCOMPARE(f->Frame_realtime->title(), QString());
        const QStringList buttons{f->Button_read->text(),  f->Button_save->text(),
                                  f->Button_clear->text(), f->Button_print->text(),
                                  f->Button_help->text(),  f->Button_close->text()};
        QCOMPARE(buttons, (QStringList{"读取", "保存", "清空", "打印", "帮助", "关闭"}));
        QCOMPARE(f->TabStrip1->tabBar()->count(), 2);
        QCOMPARE(f->TabStrip1->tabBar()->tabText(0), QStringLiteral("实时监控"));
        QCOMPARE(f->TabStrip1->tabBar()->tabText(1), QStringLiteral("历史记录"));
        QVERIFY(f->Frame_realtime->isVisibleTo(f));
        QVERIFY(!f->DataGrid->isVisibleTo(f));
        QVERIFY(!f->Progress_read->isVisibleTo(f));
    }

    void menuTree()
    {
        const auto texts = [](const QList<QAction*>& actions) {
            QStringList out;
            for (QAction* a : actions)
                out << a->text() + (a->shortcut().isEmpty() ? "" : " with a shortcut");
            return out;
        };
        QCOMPARE(texts(f->menuBar()->actions()), (QStringList{"文件", "操作", "帮助"}));
        QCOMPARE(texts(f->menufile->actions()), (QStringList{"读取", "保存", "关闭"}));
        QCOMPARE(texts(f->menuoprate->actions()), (QStringList{"清空", "打印"}));
        QCOMPARE(texts(f->menuhelp->actions()), (QStringList{"关于软件"}));
    }

    void geometry()
    {
        const std::pair<QWidget*, QRect> expected[] = {
            {f->TabStrip1, {64, 56, 545, 529}},      {f->Frame_realtime, {72, 96, 529, 481}},
            {f->Lab_testpro, {48, 112, 176, 41}},    {f->Lab_value_lg, {240, 104, 241, 53}},
            {f->Label2, {48, 224, 178, 41}},         {f->Lab_value_ll, {240, 216, 241, 53}},
            {f->Label1, {48, 336, 180, 41}},         {f->Lab_value_a, {240, 328, 241, 53}},
            {f->Progress_read, {200, 272, 257, 15}}, {f->Button_read, {664, 56, 73, 57}},
            {f->Button_save, {664, 136, 73, 57}},    {f->Button_clear, {664, 208, 73, 57}},
            {f->Button_print, {664, 280, 73, 57}},   {f->Button_help, {664, 352, 73, 57}},
            {f->Button_close, {664, 424, 73, 57}},   {f->LabComsta, {656, 512, 97, 25}},
            {f->Lab_rtsta, {656, 552, 97, 25}},      {f->StatusBar1, {0, 617, 777, 33}},
            {f->DataGrid, {67, 96, 500, 472}}};
        for (const auto& [widget, rect] : expected)
            QCOMPARE(widget->geometry(), rect);
        // The client area below the menu bar is fixed at 777 x 650.
        QCOMPARE(f->centralWidget()->size(), QSize(777, 650));
    }

    void fonts()
    {
        const std::tuple<QWidget*, qreal, bool> expected[] = {
            {f->Lab_testpro, 27.75, true}, {f->Label2, 27.75, true},    {f->Label1, 27.75, true},
            {f->Lab_value_lg, 36, true},   {f->Lab_value_ll, 36, true}, {f->Lab_value_a, 36, true},
            {f->LabComsta, 12, false},     {f->Lab_rtsta, 12, false},   {f->TabStrip1, 12, true},
            {f->DataGrid, 9, false}};
        for (const auto& [widget, size, bold] : expected) {
            QCOMPARE(widget->font().pointSizeF(), size);
            QCOMPARE(widget->font().bold(), bold);
        }
        // The Song face must resolve to an installed CJK Song font with a real bold face.
        const QFontInfo info(f->Lab_value_lg->font());
        QVERIFY2(info.family().contains(QStringLiteral("Noto Serif CJK")),
                 qPrintable(info.family()));
        QVERIFY(info.bold());
    }

    void focusOrder()
    {
        const QList<QWidget*> expected{f->TabStrip1->tabBar(), f->DataGrid,     f->Button_read,
                                       f->Button_save,         f->Button_clear, f->Button_print,
                                       f->Button_help,         f->Button_close};
        QWidget* w = expected.first();
        for (int i = 1; i < expected.size(); ++i) {
            do {
                w = w->nextInFocusChain();
            } while (!(w->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w, expected.at(i));
        }
        for (QLabel* l : f->findChildren<QLabel*>())
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        QCOMPARE(f->Progress_read->focusPolicy(), Qt::NoFocus);
    }

    void statusBarAndClock()
    {
        QCOMPARE(f->StatusPanels[0]->width(), 96);
        QCOMPARE(f->StatusPanels[1]->width(), 583);
        QCOMPARE(f->StatusPanels[2]->width(), 96);
        // The date panel has no time of day, the time panel carries seconds; neither placeholder.
        const QString date = f->StatusPanels[0]->text(), time = f->StatusPanels[2]->text();
        QVERIFY2(!date.isEmpty() && date != "date" && !date.contains(':'), qPrintable(date));
        QVERIFY2(time != "time" && time.count(':') == 2, qPrintable(time));
        f->StatusPanels[0]->setText(QStringLiteral("x"));
        f->StatusPanels[2]->setText(QStringLiteral("y"));
        rig->advance(999);
        QCOMPARE(f->StatusPanels[2]->text(), QStringLiteral("y"));
        rig->advance(1);
        QVERIFY(f->StatusPanels[0]->text() != QLatin1String("x"));
        QVERIFY(f->StatusPanels[2]->text() != QLatin1String("y"));
        QCOMPARE(f->StatusPanels[1]->text(),
                 QStringLiteral("无线高压验电器\uFF08带电压指示\uFF09"));
    }

    void gridAfterInitAndAgain()
    {
        FlexGrid& g = *f->DataGrid;
        checkFreshGrid(g);
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

        // Run again on a filled table: emptied, numbered and titled anew, in the same place.
        const QRect before = g.geometry();
        for (int r = 0; r < 100; ++r)
            for (int c = 0; c < 4; ++c)
                g.setTextMatrix(r, c, QStringLiteral("x%1").arg(r));
        f->GridInit();
        QCOMPARE(g.geometry(), before);
        checkFreshGrid(g);
    }
};

QTEST_MAIN(StartupTest)
#include "test_form1_startup.moc"
