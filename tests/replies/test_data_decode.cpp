// DataDecode and the realtime and history displays inside the window: which frame is taken,
// what each kind changes, and what a malformed buffer leaves alone.

#include "app/tab_strip.h"
#include "tests/support/form_rig.h"

#include <QLabel>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTest>
#include <QToolButton>

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
        QTest::addColumn<int>("linkState"); // afterwards
        QTest::addColumn<bool>("found");    // ComFound afterwards
        QTest::newRow("probe") << hex("b1040555aafe") << 2 << true;
        QTest::newRow("stray bytes before the header") << hex("00ff3cb1040555aafe") << 2 << true;
        QTest::newRow("more than 255 bytes")
            << QByteArray(300, 'x') + hex("b1040555aafe") << 2 << true;
        QTest::newRow("header last") << hex("000000b1") << 1 << false;
        QTest::newRow("fewer than four bytes") << hex("b104fe") << 1 << false;
        QTest::newRow("no header") << hex("a1040555aafe") << 1 << false;
        QTest::newRow("zero length") << hex("b10005aa") << 1 << false;
        QTest::newRow("bad checksum") << hex("b1040555aaff") << 3 << false;
        QTest::newRow("truncated") << hex("b1040555aa") << 1 << false;
        // A stray 0xB1 is taken as the header; the real frame behind it is never seen.
        QTest::newRow("stray header first") << hex("b1b1040555aafe") << 1 << false;
        QTest::newRow("probe with a wrong payload") << frame(hex("04055555")) << 2 << false;
        QTest::newRow("unknown kind") << frame(hex("040755aa")) << 2 << false;
    }

    void frameLocation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, linkState);
        QFETCH(bool, found);
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, bytes);
        QCOMPARE(int(f.LinkState), linkState);
        QCOMPARE(f.ComFound, found);
        // Only an accepted reply of a known kind stops the reply timer.
        const bool known = linkState == 2 && QByteArray(QTest::currentDataTag()) != "unknown kind";
        QCOMPARE(f.Timer_timeout->Enabled(), !known);
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

    void countLimitedToWhatWasReported()
    {
        // RxCount says fewer bytes than the buffer holds: the frame's checksum lies beyond it.
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, hex("b1040555aafe"), 5);
        QCOMPARE(f.LinkState, 1);
        QVERIFY(!f.ComFound);
    }

    void realtime_data()
    {
        QTest::addColumn<QByteArray>("payload"); // volt hi, volt lo, current, code
        QTest::addColumn<QString>("ground");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("current");
        QTest::newRow("0") << hex("00000000") << "0.0kV"
                           << "0.0kV"
                           << "0A";
        QTest::newRow("11") << hex("000b7b01") << "1.1kV"
                            << "0.3kV"
                            << "12.3A";
        QTest::newRow("12") << hex("000c7b02") << "1.2kV"
                            << "6.6kV"
                            << "1.23A";
        QTest::newRow("99") << hex("00637b00") << "9.9kV"
                            << "35kV"
                            << "123A";
        QTest::newRow("100") << hex("00647b07") << "10kV"
                             << "35kV"
                             << "123A";
        QTest::newRow("125") << hex("007d0501") << "13kV"
                             << "35kV"
                             << "0.5A";
        QTest::newRow("327") << hex("01470001") << "33kV"
                             << "66kV"
                             << "0.0A";
        QTest::newRow("617") << hex("0269ff00") << "62kV"
                             << "110kV"
                             << "255A";
        QTest::newRow("5999") << hex("176f0502") << "600kV"
                              << "220kV"
                              << "0.05A";
        QTest::newRow("6000") << hex("17700501") << "NO--"
                              << "NO--"
                              << "NO--";
        QTest::newRow("6553.5 kV") << hex("ffff0501") << "NO--"
                                   << "NO--"
                                   << "NO--";
        // The current is payload byte 2 alone, never 16 bits with the voltage's low byte.
        QTest::newRow("current one byte") << hex("017b0c01") << "38kV"
                                          << "110kV"
                                          << "1.2A";
    }

    void realtime()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, ground);
        QFETCH(QString, line);
        QFETCH(QString, current);
        FormRig rig;
        Form1& f = *rig.form;
        receive(f, frame(hex("0606") + payload));
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QCOMPARE(f.Lab_value_lg->text(), ground);
        QCOMPARE(f.Lab_value_ll->text(), line);
        QCOMPARE(f.Lab_value_a->text(), current);
    }

    void historyRows()
    {
        FormRig rig;
        Form1& f = *rig.form;
        f.RecTotal = 30;
        f.RecBlock = 2; // this is the third block: rows 21..30
        receive(f, frame(hex("0c01") + hex("014700fa01") + hex("196400fa02")));
        QCOMPARE(f.DataGrid->TextMatrix(21, 1), QStringLiteral("33kV"));
        QCOMPARE(f.DataGrid->TextMatrix(21, 2), QStringLiteral("110kV"));
        QCOMPARE(f.DataGrid->TextMatrix(21, 3), QStringLiteral("25.0A"));
        QCOMPARE(f.DataGrid->TextMatrix(22, 1), QStringLiteral("650kV"));
        QCOMPARE(f.DataGrid->TextMatrix(22, 2), QStringLiteral("220kV"));
        QCOMPARE(f.DataGrid->TextMatrix(22, 3), QStringLiteral("2.50A"));
        QCOMPARE(f.DataGrid->TextMatrix(23, 1), QString());
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
            for (int c = 1; c < 4; ++c)
                QCOMPARE(f.DataGrid->TextMatrix(1, c), QString());
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

    void recordTotalAbove99IsTreatedAs99()
    {
        FormRig rig;
        Form1& f = *rig.form;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        receive(f, frame(hex("0302ff")));
        QCOMPARE(f.RecTotal, 99);
        QCOMPARE(f.Progress_read->maximum(), 99);
        // The first block request goes out at once: start 1, count 10.
        QCOMPARE(rig.serial->written().back().bytes, hex("a10401010a0e"));
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
        QCOMPARE(f.TabStrip1->isEnabled(), commandsBack);
        QCOMPARE(f.Button_save->isEnabled(), commandsBack);
        if (commandsBack) {
            QCOMPARE(f.RecBlock, 0);
            QVERIFY(!f.Progress_read->isVisibleTo(&f));
            QVERIFY(f.Timer_real->Enabled());
            QVERIFY(f.Button_read->isEnabled());
        }
    }

    void randomBuffersStayInBounds()
    {
        // Runs under AddressSanitizer in CI: no buffer may be read past what was received.
        FormRig rig;
        Form1& f = *rig.form;
        QRandomGenerator random(20261206);
        for (int i = 0; i < 20000; ++i) {
            QByteArray bytes(int(random.bounded(0, 400)), Qt::Uninitialized);
            for (char& b : bytes)
                b = char(random.bounded(256));
            if (!bytes.isEmpty() && random.bounded(2))
                bytes[int(random.bounded(bytes.size()))] = char(0xB1);
            f.RecTotal = std::int16_t(random.bounded(0, 100));
            f.RecBlock = std::uint8_t(random.bounded(0, 10));
            receive(f, bytes, random.bounded(2) ? int(bytes.size()) : int(random.bounded(0, 500)));
            QVERIFY(f.DataGrid->Rows() == 100);
        }
    }
};

QTEST_MAIN(DataDecodeTest)
#include "test_data_decode.moc"
