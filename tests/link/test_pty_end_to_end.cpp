// The window's link over a real pseudo-terminal with the simulator program: found, polled, a
// download, the device vanishing and the instrument coming back on another port. Timers run on
// a virtual clock; the bytes travel for real.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "replies/measure_format.h"
#include "sim/instrument.h"
#include "tests/support/rig.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace tesvaron;
using namespace std::chrono_literals;

// The real serial port, noting when each request went out.
struct NotingBackend : QtSerialBackend
{
    QElapsedTimer sent;
    bool write(const QByteArray& bytes) override
    {
        sent.start();
        return QtSerialBackend::write(bytes);
    }
};

class TestPtyEndToEnd : public QObject
{
    Q_OBJECT
    QTemporaryDir ports;
    VirtualClock clock;
    NotingBackend* line = nullptr;

    // Virtual time stands still while a request is out, until the reply is in or the line has
    // had a second of real time to bring it: a busy machine cannot make the reply late.
    bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit, const Form1& f)
    {
        for (const auto end = clock.now() + limit; clock.now() < end; clock.advance(10ms)) {
            do
                QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            while (f.LinkState == LinkCode::Awaiting && line->isOpen() && line->sent.isValid() &&
                   line->sent.elapsed() < 1000);
            if (done()) return true;
        }
        return done();
    }
    // Unpaced, but with an instrument's turnaround: the window clears its input right after
    // writing, which on a real line is long before a reply can start.
    std::unique_ptr<QProcess> startSim(int com)
    {
        auto sim = std::make_unique<QProcess>();
        sim->start(TESVARON_SIM, {"--com", QString::number(com), "--records", "25", "--no-pace",
                                  "--turnaround", "20"});
        return sim->waitForReadyRead(5000) ? std::move(sim) : nullptr;
    }

private slots:
    void initTestCase() { qputenv("TESVARON_PORTS", QFile::encodeName(ports.path())); }

    void foundPolledDownloadedLostFound()
    {
        auto sim = startSim(3);
        QVERIFY(sim);
        Form1Seams seams;
        seams.clock = &clock;
        seams.serial = line = new NotingBackend;
        auto* boxes = new test::RecordingMessageBox; // a real box would wait for a click
        seams.messageBox.reset(boxes);
        Form1 f(std::move(seams));
        QVERIFY(pump([&] { return !f.Timer_findcom->Enabled(); }, 12s, f));
        QCOMPARE(int(f.ComNo), 3);
        QVERIFY(pump([&] { return f.Lab_value_lg->isEnabled(); }, 3s, f));
        QCOMPARE(f.LabComsta->text(), "COM3已打开");

        f.TabStrip1->clickTab(2);
        f.Button_read->click();
        QVERIFY(pump([&] { return f.TabStrip1->isEnabled(); }, 10s, f));
        for (int row = 0; const auto& rec : sim::generateRecords(25, 1))
            QCOMPARE(f.DataGrid->TextMatrix(++row, 3),
                     historyTexts(rec.voltage, rec.current, rec.code).current);
        QVERIFY(f.DataGrid->TextMatrix(26, 1).isEmpty());
        QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->shown.join('|')));

        sim->terminate();
        QVERIFY(sim->waitForFinished(5000));
        QVERIFY(pump([&] { return !f.ComFound; }, 4s, f));
        auto back = startSim(5);
        QVERIFY(back);
        QVERIFY(pump([&] { return f.ComFound && !f.Timer_findcom->Enabled(); }, 12s, f));
        QCOMPARE(int(f.ComNo), 5);
        back->terminate();
        back->waitForFinished(5000);
    }
};

QTEST_MAIN(TestPtyEndToEnd)
#include "test_pty_end_to_end.moc"
