// DataDecode and the realtime and history displays inside the window: which frame is taken,
// what each kind changes, and what a malformed buffer leaves alone.

#include "tests/support/form_rig.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

// A window waiting for a reply, then handed `bytes` as one notification.
void receive(Form1& f, const QByteArray& bytes, int count = -1)
{
    f.LinkState = 1;
    f.Timer_timeout->setEnabled(true);
    f.RxBuf = bytes;
    f.RxCount = count < 0 ? int(bytes.size()) : count;
    f.DataDecode();
}

QByteArray frame(const QByteArray& body) // body = L kind payload, checksum appended
{
    char cs = 0;
    for (char b : body)
        cs ^= b;
    return QByteArray(1, char(0xB1)) + body + QByteArray(1, cs);
}

} // namespace

class DataDecodeTest : public QObject
{
    Q_OBJECT

private slots:
    void frameLocation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");     // RxCount; -1: as many as the bytes
        QTest::addColumn<int>("linkState"); // afterwards
        QTest::addColumn<bool>("found");    // ComFound afterwards
        QTest::addColumn<bool>("stopped");  // the reply timer
        const auto row = [](const char* name, const QByteArray& bytes, int linkState, bool found,
                            bool stopped, int count = -1) {
            QTest::newRow(name) << bytes << count << linkState << found << stopped;
        };
        row("probe", hex("b1040555aafe"), 2, true, true);
        row("stray bytes before the header", hex("00ff3cb1040555aafe"), 2, true, true);
        row("more than 255 bytes", QByteArray(300, 'x') + hex("b1040555aafe"), 2, true, true);
        row("header last", hex("000000b1"), 1, false, false);
        row("fewer than four bytes", hex("b104fe"), 1, false, false);
        row("no header", hex("a1040555aafe"), 1, false, false);
        row("zero length", hex("b10005aa"), 1, false, false);
        row("bad checksum", hex("b1040555aaff"), 3, false, false);
        row("truncated", hex("b1040555aa"), 1, false, false);
        // The count reported, not the buffer, bounds the frame: its checksum lies beyond it.
        row("count short of the buffer", hex("b1040555aafe"), 1, false, false, 5);
        // A stray 0xB1 is taken as the header; the real frame behind it is never seen.
        row("stray header first", hex("b1b1040555aafe"), 1, false, false);
        // Only an accepted reply of a known kind stops the reply timer.
        row("probe with a wrong payload", frame(hex("04055555")), 2, false, true);
        row("unknown kind", frame(hex("040755aa")), 2, false, false);
    }

    void frameLocation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(int, linkState);
        QFETCH(bool, found);
        QFETCH(bool, stopped);
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, bytes, count);
        QCOMPARE(int(f.LinkState), linkState);
        QCOMPARE(f.ComFound, found);
        QCOMPARE(f.Timer_timeout->Enabled(), !stopped);
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("0.0kV")); // none is a realtime reply
    }

    void secondFrameIsNotDecoded()
    {
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, frame(hex("0606017b0c01")) + hex("b1040555aafe"));
        QCOMPARE(f.ComFound, false);
        QCOMPARE(f.Lab_value_lg->text(), QStringLiteral("38kV"));
        // The realtime frame was decoded; its bytes stand in RxFrame, the probe's behind them.
        QCOMPARE(f.RxFrame[1], 0x06);
        QCOMPARE(f.RxFrame[7], 0xB1);
        QCOMPARE(f.RxFrame[9], 0x05);
    }

    // Where the realtime payload's bytes go; the formats themselves are tested in
    // test_measure_format.
    void realtime_data()
    {
        QTest::addColumn<QByteArray>("payload"); // volt hi, volt lo, current, code
        QTest::addColumn<QStringList>("labels"); // ground, line, current
        const auto row = [](const char* payload, const char* ground, const char* line,
                            const char* current) {
            QTest::newRow(payload) << hex(payload) << QStringList{ground, line, current};
        };
        row("00000000", "0.0kV", "0.0kV", "0A");
        row("000c7b02", "1.2kV", "6.6kV", "1.23A");
        row("01470001", "33kV", "66kV", "0.0A");
        row("176f0502", "600kV", "220kV", "0.05A");
        row("0269ff00", "62kV", "110kV", "255A");
        // The current is payload byte 2 alone, never 16 bits with the voltage's low byte.
        row("017b0c01", "38kV", "110kV", "1.2A");
        // 600.0 kV and up is out of range on every label.
        row("17700501", "NO--", "NO--", "NO--");
        row("ffff0501", "NO--", "NO--", "NO--");
    }

    void realtime()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, labels);
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, frame(hex("0606") + payload));
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QCOMPARE(
            (QStringList{f.Lab_value_lg->text(), f.Lab_value_ll->text(), f.Lab_value_a->text()}),
            labels);
    }

    void historyRows()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.RecTotal = 30;
        f.RecBlock = 2; // this is the third block: rows 21..30
        receive(f, frame(hex("0c01") + hex("014700fa01") + hex("196400fa02")));
        QCOMPARE(rowTexts(f, 21), (QStringList{"33kV", "110kV", "25.0A"}));
        QCOMPARE(rowTexts(f, 22), (QStringList{"650kV", "220kV", "2.50A"}));
        QCOMPARE(rowTexts(f, 23), QStringList(3, QString()));
        QCOMPARE(f.DataGrid->TextMatrix(21, 0), QStringLiteral("21"));
        // The download is complete (3 x 10 >= 30): commands back, polling on.
        QCOMPARE(f.RecBlock, 0);
        QVERIFY(f.Timer_real->Enabled());
    }

    void historyBlockWithoutRecords()
    {
        for (const char* body : {"0201", "0301ff", "0501000000", "060100000000"}) {
            FormRig rig;
            Form1& f = *rig.form;
            f.RecTotal = 50;
            receive(f, frame(hex(body)));
            QCOMPARE(f.RecBlock, 1);
            QCOMPARE(rowTexts(f, 1), QStringList(3, QString()));
        }
    }

    void noRowBeyond99()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.RecTotal = 99;
        f.RecBlock = 9; // the tenth block: rows 91..99
        QByteArray body = hex("3401");
        for (int i = 0; i < 10; ++i)
            body += hex("0064000a01");
        receive(f, frame(body));
        QCOMPARE(f.DataGrid->TextMatrix(99, 1), QStringLiteral("10kV"));
        QCOMPARE(f.DataGrid->Rows(), 100);
        QCOMPARE(f.RecBlock, 0);
    }

    void refusalOutsideADownload()
    {
        FormRig rig;
        Form1& f = *rig.form;
        const QString before = f.Lab_value_lg->text();
        receive(f, frame(hex("02f1")));
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(!f.Timer_real->Enabled());
        QCOMPARE(f.Lab_value_lg->text(), before);
    }

    void replyThatEndsNothingDuringADownload_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("startTickWaiting"); // the record count has not been asked yet
        QTest::addColumn<bool>("commandsBack");
        QTest::newRow("probe answer to a block request") << frame(hex("040555aa")) << false << true;
        QTest::newRow("realtime answer to a block request")
            << frame(hex("060600640001")) << false << true;
        QTest::newRow("refusal") << frame(hex("02f1")) << false << true;
        // The poll that was open when Read was pressed: the start tick still has work to do.
        QTest::newRow("poll answer before the count") << frame(hex("040555aa")) << true << false;
        QTest::newRow("refusal before the count") << frame(hex("02f1")) << true << false;
        // Bad checksum: the reply timer runs on and ends the download later.
        QTest::newRow("bad checksum") << hex("b1040555aaff") << false << false;
    }

    void replyThatEndsNothingDuringADownload()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, startTickWaiting);
        QFETCH(bool, commandsBack);
        FormRig rig;
        Form1& f = *rig.form;
        f.ComFound = true;
        f.TabStrip1->clickTab(2);
        f.Button_read_Click();
        f.Timer_read->setEnabled(startTickWaiting);
        f.RecTotal = 25;
        f.RecBlock = 1;
        f.Progress_read->show();
        receive(f, reply);
        QCOMPARE(commands(f),
                 QString(commandsBack ? "11 11 11 11 11 11 1" : "00 00 00 00 00 11 0"));
        if (commandsBack) {
            QCOMPARE(f.RecBlock, 0);
            QVERIFY(!f.Progress_read->isVisibleTo(&f));
            QVERIFY(f.Timer_real->Enabled());
        }
    }
};

QTEST_MAIN(DataDecodeTest)
#include "test_data_decode.moc"
