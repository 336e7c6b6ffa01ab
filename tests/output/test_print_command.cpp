// The Print command over a scripted dialog and a printer that records every line.

#include "tests/output/test_save_fakes.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

class PrintCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void realtimePage_data();
    void realtimePage();
    void historyPage_data();
    void historyPage();
    void dialogOutcome_data();
    void dialogOutcome();
    void flagsStayForTheNextSave();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
};

void PrintCommandTest::init()
{
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
}

void PrintCommandTest::realtimePage_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("before any measurement")
        << QStringList()
        << QStringList{"Y500",       "T:     ",       "T:对地电压0.0kV", "T:线电压0.0kV",
                       "T:电流0.0A", "T:           ", "EndDoc"};
    QTest::newRow("measured") << QStringList{"NO--", "220kV", "12.5A"}
                              << QStringList{"Y500",          "T:     ",     "T:对地电压NO--",
                                             "T:线电压220kV", "T:电流12.5A", "T:           ",
                                             "EndDoc"};
}

void PrintCommandTest::realtimePage()
{
    QFETCH(QStringList, captions);
    QFETCH(QStringList, expected);
    SaveRig rig(tmp_->path());
    QLabel* labels[] = {rig.form->Lab_value_lg, rig.form->Lab_value_ll, rig.form->Lab_value_a};
    for (int i = 0; i < captions.size(); ++i)
        labels[i]->setText(captions[i]);

    rig.print();

    QCOMPARE(rig.output->recordingPrinter.calls, expected);
    QCOMPARE(rig.dialog().prints.size(), size_t(1));
    QCOMPARE(rig.dialog().prints.front().flags, 264);
    QVERIFY(rig.dialog().prints.front().cancelError);
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(rig.boxes->beeps, 0);
}

void PrintCommandTest::historyPage_data()
{
    QTest::addColumn<bool>("filled");
    QTest::newRow("empty table") << false;
    QTest::newRow("records in rows 1 and 99") << true;
}

void PrintCommandTest::historyPage()
{
    QFETCH(bool, filled);
    SaveRig rig(tmp_->path());
    rig.showHistory();
    if (filled) {
        FlexGrid* grid = rig.form->DataGrid;
        grid->setTextMatrix(1, 1, QStringLiteral("12.3kV"));
        grid->setTextMatrix(1, 2, QStringLiteral("10kV"));
        grid->setTextMatrix(1, 3, QStringLiteral("1.25A"));
        grid->setTextMatrix(99, 1, QStringLiteral("0.4kV"));
        grid->setTextMatrix(99, 2, QStringLiteral("0.4kV"));
        grid->setTextMatrix(99, 3, QStringLiteral("0.07A"));
    }

    rig.print();

    const QStringList& calls = rig.output->recordingPrinter.calls;
    // 2-space line, header, 99 rows, 2-space line, end of document; no start position.
    QCOMPARE(calls.size(), 1 + 1 + 99 + 1 + 1);
    QCOMPARE(calls[0], QStringLiteral("T:  "));
    QCOMPARE(calls[1], QStringLiteral("A5|T:NO.|A5|T:对地电压|A5|T:线电压|A5|T:电流"));
    QCOMPARE(calls[2], filled ? QStringLiteral("C10|T:1|C18|T:12.3kV|C30|T:10kV|C42|T:1.25A")
                              : QStringLiteral("C10|T:1|C18|T:|C30|T:|C42|T:"));
    QCOMPARE(calls[51], QStringLiteral("C10|T:50|C18|T:|C30|T:|C42|T:"));
    QCOMPARE(calls[100], filled ? QStringLiteral("C10|T:99|C18|T:0.4kV|C30|T:0.4kV|C42|T:0.07A")
                                : QStringLiteral("C10|T:99|C18|T:|C30|T:|C42|T:"));
    QCOMPARE(calls[101], QStringLiteral("T:  "));
    QCOMPARE(calls[102], QStringLiteral("EndDoc"));
    QVERIFY(rig.boxes->shown.empty());
}

void PrintCommandTest::dialogOutcome_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("realtime");
    QTest::newRow("cancel, realtime") << 32755 << true;
    QTest::newRow("cancel, history") << 32755 << false;
    QTest::newRow("no printer, realtime") << 482 << true;
    QTest::newRow("no printer, history") << 482 << false;
}

// Cancel ends the command silently; any other failure beeps, then tells the user; neither
// prints anything.
void PrintCommandTest::dialogOutcome()
{
    QFETCH(int, result);
    QFETCH(bool, realtime);
    SaveRig rig(tmp_->path());
    if (!realtime) rig.showHistory();
    rig.dialog().printResult = result;
    rig.dialog().printDescription = QStringLiteral("没有可用的打印机");

    rig.print();

    QVERIFY(rig.output->recordingPrinter.calls.isEmpty());
    QCOMPARE(rig.dialog().prints.size(), size_t(1));
    if (result == 32755) {
        QVERIFY(rig.boxes->shown.empty());
        QCOMPARE(rig.boxes->beeps, 0);
        return;
    }
    QCOMPARE(rig.boxes->beeps, 1);
    QCOMPARE(rig.boxes->shown.size(), size_t(1));
    const ShownBox& box = rig.boxes->shown.front();
    QCOMPARE(box.beepsBefore, 1);
    QCOMPARE(box.title, QStringLiteral("Printing Error!"));
    QCOMPARE(box.text, QStringLiteral("文件打印出错.\r\n没有可用的打印机"));
    QCOMPARE(box.icon, MessageBoxSeam::Icon::Exclamation);
    QVERIFY(!rig.form->closing());
}

// The print flags stay on the shared dialog when a save shows it later.
void PrintCommandTest::flagsStayForTheNextSave()
{
    SaveRig rig(tmp_->path());
    rig.dialog().printResult = 32755;
    rig.print();
    rig.dialog().cancel();
    rig.save();
    QCOMPARE(rig.dialog().saves.size(), size_t(1));
    QCOMPARE(rig.dialog().saves.front().flags, 264);
}

QTEST_MAIN(PrintCommandTest)
#include "test_print_command.moc"
