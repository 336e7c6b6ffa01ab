// ComOpen through the window over real pseudo-terminals linked as COM<n>.

#include "tests/support/form_rig.h"
#include "tests/support/pty_pair.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

// A window on the system's serial ports, with virtual timers that never advance.
struct RealPortWindow
{
    VirtualClock clock;
    std::unique_ptr<Form1> form;
    RealPortWindow()
    {
        Form1Seams seams;
        seams.clock = &clock;
        seams.messageBox = std::make_unique<RecordingMessageBox>();
        form = std::make_unique<Form1>(std::move(seams));
    }
};

} // namespace

class ComOpenTest : public QObject
{
    Q_OBJECT

private slots:
    void opens()
    {
        PortFolder ports;
        PtyPair pty;
        QVERIFY(ports.link(1, pty.slavePath()));
        RealPortWindow w;
        w.form->ComOpen(1);
        QCOMPARE(w.form->LabComsta->text(), QStringLiteral("COM1已打开"));
        QVERIFY(w.form->MSComm1->PortOpen());
        QCOMPARE(w.form->MSComm1->CommPort(), 1);
        QVERIFY(w.form->LabComsta->toolTip().contains(pty.slavePath()));
    }

    void missing()
    {
        PortFolder ports;
        RealPortWindow w;
        w.form->ComOpen(12);
        QCOMPARE(w.form->LabComsta->text(), QStringLiteral("COM12无效"));
        QVERIFY(!w.form->MSComm1->PortOpen());
    }

    void heldByAnotherProgram()
    {
        PortFolder ports;
        PtyPair pty;
        QVERIFY(ports.link(3, pty.slavePath()));
        CommControl other(new QtSerialBackend);
        other.setCommPort(3);
        QCOMPARE(other.setPortOpen(true), 0);
        RealPortWindow w;
        w.form->ComOpen(3);
        QCOMPARE(w.form->LabComsta->text(), QStringLiteral("COM3被占用"));
        QVERIFY(!w.form->MSComm1->PortOpen());
        QVERIFY(!w.form->LabComsta->toolTip().isEmpty());
    }

    void notASerialPort()
    {
        PortFolder ports;
        QTemporaryDir scratch;
        QFile plain(scratch.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(ports.link(4, plain.fileName()));
        QVERIFY(ports.link(6, scratch.path()));
        RealPortWindow w;
        for (int com : {4, 6}) {
            w.form->ComOpen(std::int16_t(com));
            // Reads as opened, as every failure other than "in use" and "no such port" does,
            // but the port is closed and the tooltip says why.
            QCOMPARE(w.form->LabComsta->text(), QStringLiteral("COM%1已打开").arg(com));
            QVERIFY(!w.form->MSComm1->PortOpen());
            QVERIFY(w.form->LabComsta->toolTip().size() > 10);
        }
    }

    void reopenDropsWaitingBytes()
    {
        PortFolder ports;
        PtyPair pty;
        QVERIFY(ports.link(2, pty.slavePath()));
        RealPortWindow w;
        w.form->ComOpen(2);
        QSignalSpy arrived(w.form->MSComm1->backend(), &SerialBackend::readyRead);
        QVERIFY(pty.send(QByteArray::fromHex("b1040555aafe")));
        QVERIFY(arrived.wait(2000));
        QCOMPARE(w.form->MSComm1->InBufferCount(), 6);
        w.form->ComOpen(2);
        QVERIFY(w.form->MSComm1->PortOpen());
        QCOMPARE(w.form->MSComm1->InBufferCount(), 0);
    }

    void probeOverTheLine()
    {
        // A whole exchange over a real pty: request bytes out, reply in, decoded.
        PortFolder ports;
        PtyPair pty;
        QVERIFY(ports.link(1, pty.slavePath()));
        RealPortWindow w;
        Form1& f = *w.form;
        f.ComOpen(1);
        f.CmdSend(5, 0, 0);
        QCOMPARE(pty.receive(6, 2000), QByteArray::fromHex("a1040555aafe"));
        QSignalSpy notified(f.MSComm1, &CommControl::OnComm);
        QVERIFY(pty.send(QByteArray::fromHex("b104")));
        QVERIFY(pty.send(QByteArray::fromHex("0555aafe")));
        QVERIFY(notified.wait(2000));
        QVERIFY(f.ComFound);
        QCOMPARE(f.LinkState, 2);
        QVERIFY(!f.MSComm1->PortOpen());
    }
};

QTEST_MAIN(ComOpenTest)
#include "test_com_open.moc"
