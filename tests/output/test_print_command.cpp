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
    void realtimePage();
    void historyPage();
    void dialogOutcome_data();
    void dialogOutcome();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
};

void PrintCommandTest::init()
{
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
}

void PrintCommandTest::realtimePage()
{
    SaveRig rig(tmp_->path());
    rig.form->Lab_value_lg->setText(QStringLiteral("NO--"));
    rig.form->Lab_value_ll->setText(QStringLiteral("220kV"));
    rig.form->Lab_value_a->setText(QStringLiteral("12.5A"));

    rig.print();

    QCOMPARE(rig.output->recordingPrinter.calls,
             (QStringList{"Y500", "T:     ", "T:对地电压NO--", "T:线电压220kV", "T:电流12.5A",
                          "T:           ", "EndDoc"}));
    QCOMPARE(rig.dialog().prints.size(), size_t(1));
    QCOMPARE(rig.dialog().prints.front().flags, 264);
    QVERIFY(rig.dialog().prints.front().cancelError);
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(rig.boxes->beeps, 0);

    // The print flags stay on the shared dialog when a save shows it later.
    rig.dialog().cancel();
    rig.save();
    QCOMPARE(rig.dialog().saves.front().flags, 264);
}

void PrintCommandTest::historyPage()
{
    SaveRig rig(tmp_->path());
    rig.showHistory();
    FlexGrid* grid = rig.form->DataGrid;
    grid->setTextMatrix(1, 1, QStringLiteral("12.3kV"));
    grid->setTextMatrix(1, 2, QStringLiteral("10kV"));
    grid->setTextMatrix(1, 3, QStringLiteral("1.25A"));
    grid->setTextMatrix(99, 1, QStringLiteral("0.4kV"));
    grid->setTextMatrix(99, 2, QStringLiteral("0.4kV"));
    grid->setTextMatrix(99, 3, QStringLiteral("0.07A"));

    rig.print();

    const QStringList& calls = rig.output->recordingPrinter.calls;
    // 2-space line, header, 99 rows, 2-space line, end of document; no start position.
    QCOMPARE(calls.size(), 1 + 1 + 99 + 1 + 1);
    QCOMPARE(calls[0], QStringLiteral("T:  "));
    QCOMPARE(calls[1], QStringLiteral("A5|T:NO.|A5|T:对地电压|A5|T:线电压|A5|T:电流"));
    QCOMPARE(calls[2], QStringLiteral("C10|T:1|C18|T:12.3kV|C30|T:10kV|C42|T:1.25A"));
    QCOMPARE(calls[51], QStringLiteral("C10|T:50|C18|T:|C30|T:|C42|T:"));
    QCOMPARE(calls[100], QStringLiteral("C10|T:99|C18|T:0.4kV|C30|T:0.4kV|C42|T:0.07A"));
    QCOMPARE(calls[101], QStringLiteral("T:  "));
    QCOMPARE(calls[102], QStringLiteral("EndDoc"));
    QVERIFY(rig.boxes->shown.empty());
}

void PrintCommandTest::dialogOutcome_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("realtime");
    QTest::newRow("cancel, realtime") << 32755 << true;
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
    int beepsBeforeBox = -1;
    rig.boxes->whileOpen = [&] { beepsBeforeBox = rig.boxes->beeps; };

    rig.print();

    QVERIFY(rig.output->recordingPrinter.calls.isEmpty());
    QCOMPARE(rig.dialog().prints.size(), size_t(1));
    QVERIFY(!rig.form->closing());
    if (result == 32755) {
        QVERIFY(rig.boxes->shown.empty());
        QCOMPARE(rig.boxes->beeps, 0);
        return;
    }
    QCOMPARE(rig.boxes->beeps, 1);
    QCOMPARE(rig.boxes->shown.size(), size_t(1));
    const ShownBox& box = rig.boxes->shown.front();
    QCOMPARE(beepsBeforeBox, 1);
    QCOMPARE(box.title, QStringLiteral("Printing Error!"));
    QCOMPARE(box.text, QStringLiteral("文件打印出错.\r\n没有可用的打印机"));
    QCOMPARE(box.icon, MessageBoxSeam::Icon::Exclamation);
}

QTEST_MAIN(PrintCommandTest)
#include "test_print_command.moc"
