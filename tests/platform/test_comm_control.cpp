// The comm control over a real pseudo-terminal: writes reaching the line, the receive threshold,
// reading what waits. Open outcomes are tested through ComOpen, in link/.

#include "platform/comm_control.h"
#include "tests/support/pty_pair.h"

#include <QSignalSpy>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

class CommControlTest : public QObject
{
    Q_OBJECT

private slots:
    void exchange()
    {
        PortFolder ports;
        PtyPair pty;
        QVERIFY(ports.link(2, pty.slavePath()));
        CommControl comm(new QtSerialBackend);
        const QByteArray request = QByteArray::fromHex("a1040555aafe");
        QVERIFY(!comm.setOutput(request)); // closed: the write fails
        comm.setCommPort(2);
        QCOMPARE(comm.setPortOpen(true), 0);
        QVERIFY(comm.PortOpen());
        comm.setRThreshold(8);
        QVERIFY(comm.setOutput(request));
        // Clearing both buffers straight after the write must not cut the request off.
        comm.setOutBufferCount(0);
        comm.setInBufferCount(0);
        QCOMPARE(pty.receive(6, 2000), request);

        QSignalSpy arrived(comm.backend(), &SerialBackend::readyRead);
        QSignalSpy notified(&comm, &CommControl::OnComm);
        QVERIFY(pty.send(QByteArray::fromHex("b1060600")));
        QVERIFY(arrived.wait(2000));
        QCOMPARE(notified.count(), 0); // below the threshold
        QVERIFY(pty.send(QByteArray::fromHex("7b0c0173")));
        QVERIFY(notified.wait(2000));
        QCOMPARE(notified.count(), 1);
        QCOMPARE(comm.CommEvent(), CommControl::EventReceive);
        QCOMPARE(comm.InBufferCount(), 8);
        QCOMPARE(comm.Input(), QByteArray::fromHex("b10606007b0c0173"));
        QCOMPARE(comm.InBufferCount(), 0);
        comm.setPortOpen(false);
        QVERIFY(!comm.PortOpen());
    }
};

QTEST_GUILESS_MAIN(CommControlTest)
#include "test_comm_control.moc"
