// Replies the window did not ask for, in virtual time against the simulated instrument: a late
// record count that lands in a poll's reply starts paging while the commands stay enabled, and
// the next poll then cuts that paging short.

#include "app/tab_strip.h"
#include "replies/measure_format.h"
#include "tests/support/form_rig.h"
#include "tests/support/sim_responder.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

class UnaskedRepliesTest : public QObject
{
    Q_OBJECT

private slots:
    void lateRecordCountCutShortByAPoll()
    {
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 25;
        sim::Instrument instrument(config);
        bool lateCount = false;
        int blocks = 0;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(
            instrumentOn(1, instrument, [&](const QByteArray& request, auto reply) {
                const quint8 kind = quint8(request[2]);
                if (kind == sim::KindProbe && lateCount) {
                    // The answer to an earlier record-count request comes in front of the probe's.
                    lateCount = false;
                    reply.insert(reply.begin(), {0ms, QByteArray::fromHex("b103021918")});
                }
                // The instrument did not expect the second block request: it stays silent.
                if (kind == sim::KindHistoryBlock && ++blocks == 2) return decltype(reply){};
                return reply;
            }));
        Form1& f = *rig.form;
        QVERIFY(rig.clock.advanceUntil([&] { return f.Timer_real->Enabled(); }, 5000ms));
        f.TabStrip1->clickTab(2);

        lateCount = true;
        QVERIFY(rig.clock.advanceUntil([&] { return blocks == 2; }, 3000ms));
        // Paging runs with the commands enabled: rows 1..10 are in, block 2 is awaited.
        QVERIFY(f.TabStrip1->isEnabled());
        QVERIFY(!f.Progress_read->isHidden());
        QCOMPARE(f.RecBlock, 1);
        QVERIFY(!f.DataGrid->TextMatrix(10, 1).isEmpty());

        // The next poll's probe closes the port on block 2 and its answer stops the reply
        // timer: the paging is over, so its progress bar and block count must go.
        const auto polls = rig.serial->written().size();
        QVERIFY(
            rig.clock.advanceUntil([&] { return rig.serial->written().size() > polls; }, 2000ms));
        rig.advance(100);
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.Timer_timeout->Enabled());
        QVERIFY(f.Progress_read->isHidden());
        QCOMPARE(f.RecBlock, 0);
        QVERIFY(f.Button_read->isEnabled() && f.Button_clear->isEnabled());
        rig.advance(10000);
        QVERIFY(f.Progress_read->isHidden());

        // A download asked for now pages from row 1.
        f.Button_clear->click();
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 10000ms));
        QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯成功"));
        for (int row = 1; row <= 99; ++row) {
            if (row > 25) {
                QCOMPARE(f.DataGrid->TextMatrix(row, 1), QString());
                continue;
            }
            const sim::Record& r = instrument.records()[std::size_t(row - 1)];
            QCOMPARE(f.DataGrid->TextMatrix(row, 1),
                     historyTexts(r.voltage, r.current, r.code).ground);
        }
    }

    void totalArrivingInTheMiddleOfADownload()
    {
        // A record count where a block was asked for starts the paging again from row 1.
        FormRig rig;
        sim::SimConfig config;
        config.recordCount = 35;
        sim::Instrument instrument(config);
        int blocks = 0;
        rig.serial->setOutcome(1, OpenOutcome::Opened);
        rig.serial->setResponder(
            instrumentOn(1, instrument, [&](const QByteArray& request, auto reply) {
                if (quint8(request[2]) == sim::KindHistoryBlock && ++blocks == 3) {
                    // As long as a ten-record block, so the receive threshold lets it in.
                    QByteArray count = QByteArray::fromHex("b103021716"); // total 23
                    count.append(QByteArray(54 - count.size(), 0));
                    return decltype(reply){{5ms, count}};
                }
                return reply;
            }));
        Form1& f = *rig.form;
        QVERIFY(rig.clock.advanceUntil([&] { return f.Timer_real->Enabled(); }, 5000ms));
        f.TabStrip1->clickTab(2);
        f.Button_read->click();
        QVERIFY(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 10000ms));
        QCOMPARE(f.RecTotal, 23);
        QCOMPARE(f.RecBlock, 0);
        // Rows 1..20 from the first pass, 1..23 again from the second; row 24 on as they were.
        for (int row = 1; row <= 23; ++row) {
            const sim::Record& r = instrument.records()[std::size_t(row - 1)];
            QCOMPARE(f.DataGrid->TextMatrix(row, 1),
                     historyTexts(r.voltage, r.current, r.code).ground);
        }
        QCOMPARE(f.DataGrid->TextMatrix(24, 1), QString());
        QCOMPARE(f.DataGrid->TextMatrix(31, 1), QString());
    }
};

QTEST_MAIN(UnaskedRepliesTest)
#include "test_unasked_replies.moc"
