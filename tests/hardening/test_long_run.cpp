// A whole day in virtual time: polling every 1.5 s and a history download every hour, against the
// simulated instrument on a paced line that drops 1 % of its replies and corrupts another 1 %.
// Nothing may get stuck, polling may never stop, and nothing may pile up in the window.

#include "tests/support/sim_responder.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

class LongRunTest : public QObject
{
    Q_OBJECT

private slots:
    void dayOfPollingWithHourlyDownloads()
    {
        constexpr int Hours = 24;
        constexpr double Loss = 0.01;
        sim::SimConfig config;
        config.recordCount = 99;
        config.seed = 7;
        config.faults = {{sim::FaultType::RandomDrop, 0, Loss, std::nullopt},
                         {sim::FaultType::RandomCorrupt, 0, Loss, std::nullopt}};
        SimRig rig(config);
        const sim::Instrument& instrument = rig.instrument;
        Form1& f = *rig.form;

        long timeouts = 0, accepted = 0, rejected = 0;
        connect(f.Timer_timeout, &PeriodicTimer::Timer, [&] { ++timeouts; });
        // Connected after the window's own handler, so it sees what decoding made of the bytes:
        // a reply taken (LinkState 2), or taken and followed by the download's next request
        // (which sets RxCount back to 0).
        connect(f.MSComm1, &CommControl::OnComm, [&] {
            const bool taken = f.LinkState == 2 || (f.LinkState == 1 && f.RxCount == 0);
            ++(taken ? accepted : rejected);
        });

        QVERIFY(rig.found());
        const qsizetype objects = f.findChildren<QObject*>().size();

        int complete = 0, abandoned = 0;
        std::chrono::milliseconds longestDownload{0};
        for (int hour = 1; hour <= Hours; ++hour) {
            rig.clock.advance(std::chrono::hours(hour) - rig.clock.now());
            f.TabStrip1->clickTab(2);
            QVERIFY(f.Button_read->isEnabled());
            f.Button_read->click();
            QVERIFY(!f.TabStrip1->isEnabled());
            const auto started = rig.clock.now();
            // Eleven exchanges, each ended by its reply or by the reply timer.
            QVERIFY2(rig.clock.advanceUntil([&] { return f.TabStrip1->isEnabled(); }, 40000ms),
                     qPrintable(QStringLiteral("commands still disabled in hour %1").arg(hour)));
            longestDownload = std::max(longestDownload, rig.clock.now() - started);
            QCOMPARE(commands(f), QStringLiteral("11 11 11 11 11 11 1"));
            QVERIFY(f.Progress_read->isHidden());
            QCOMPARE(f.RecBlock, 0);
            QVERIFY(f.Timer_real->Enabled());
            if (f.LinkState == 2) {
                ++complete;
                // The instrument's records, in order, every one.
                for (int row = 1; row <= 99; ++row)
                    QCOMPARE(rowTexts(f, row), recordTexts(instrument.records()[size_t(row - 1)]));
            } else {
                QCOMPARE(f.LinkState, 5);
                QCOMPARE(f.Lab_rtsta->text(), QStringLiteral("通讯失败"));
                ++abandoned;
            }
            f.TabStrip1->clickTab(1);
        }
        rig.clock.advance(std::chrono::hours(Hours) + 10min - rig.clock.now());

        const auto& written = rig.serial->written();
        const long exchanges = long(written.size());
        std::chrono::milliseconds longestSilence{0};
        for (std::size_t i = 1; i < written.size(); ++i)
            longestSilence = std::max(longestSilence, written[i].at - written[i - 1].at);
        qInfo("%ld exchanges: %ld replies accepted, %ld rejected, %d left out by the instrument; "
              "%ld reply timeouts; downloads: %d complete, %d abandoned, longest %lld ms; "
              "longest time without a request %lld ms",
              exchanges, accepted, rejected, instrument.repliesSuppressed(), timeouts, complete,
              abandoned, static_cast<long long>(longestDownload.count()),
              static_cast<long long>(longestSilence.count()));

        // A poll every 1.5 s for 24 h 10 min, plus the downloads' eleven requests each.
        const long polls = (Hours * 3600 + 600) * 1000 / 1500;
        QVERIFY(exchanges > polls - 50 && exchanges < polls + Hours * 11 + 50);
        // About 2 % of replies lost or spoilt; every spoilt one is rejected.
        const double lost = 1.0 - double(accepted) / double(exchanges);
        QVERIFY2(lost > 0.015 && lost < 0.025, qPrintable(QString::number(lost)));
        QVERIFY(rejected > exchanges / 200 && rejected < exchanges * 3 / 200);
        QCOMPARE(accepted + rejected + instrument.repliesSuppressed(), exchanges);
        // A poll's timer runs out only when the next poll fails too (about 0.04 % of polls);
        // an abandoned download always ends in a timeout.
        QVERIFY(timeouts >= abandoned && timeouts < abandoned + 80);
        QVERIFY(complete >= Hours / 2);
        QCOMPARE(complete + abandoned, Hours);
        // Polling never stopped: the longest pause is an abandoned download's last request, its
        // reply timeout and the next poll.
        QVERIFY(longestSilence <= 2500ms + 1500ms + 50ms);
        QCOMPARE(f.findChildren<QObject*>().size(), objects);
        QVERIFY(f.ComFound);
        QCOMPARE(f.ComNo, 1);
    }
};

QTEST_MAIN(LongRunTest)
#include "test_long_run.moc"
