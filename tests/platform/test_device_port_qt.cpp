// The serial port that Windows uses, over the serial library, here on a pseudo-terminal: 9600 8N1
// raw both ways, the read limit, a hang-up, and what an open that fails comes to.

#include "platform/device_port.h"

#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace tesvaron;
using namespace std::chrono_literals;

class TestDevicePortQt : public QObject
{
    Q_OBJECT
private slots:
    void overAPseudoTerminal()
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        const QString slave = (grantpt(master), unlockpt(master), QString(ptsname(master)));
        DevicePort port;
        DevicePort::Refusal why;
        QCOMPARE(port.open(slave, &why), OpenOutcome::Opened);
        QCOMPARE(port.open(slave, &why), OpenOutcome::Opened); // open again: closed first
        QSignalSpy ready(&port, &DevicePort::readyRead);
        termios tio{};
        QVERIFY(port.isOpen() && ::tcgetattr(master, &tio) == 0 && cfgetospeed(&tio) == B9600);
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
        char got[3] = {};
        QVERIFY(port.write("\xA1\x04\x05", 1s) && ::read(master, got, 3) == 3);
        QCOMPARE(QByteArray(got, 3), "\xA1\x04\x05");
        ::fcntl(master, F_SETFL, O_NONBLOCK); // a device that sends without end
        const QByteArray flood(DevicePort::ReadLimit, char(0xB1));
        qsizetype sent = 0;
        for (ssize_t n = 0; n >= 0; sent += n) // until the terminal holds no more
            n = ::write(master, flood.constData(), size_t(flood.size()));
        QVERIFY(sent > DevicePort::ReadLimit);
        QTRY_COMPARE(port.bytesAvailable(), DevicePort::ReadLimit);
        QVERIFY(!ready.isEmpty());
        QCOMPARE(port.readAll(), flood);
        port.clearInput();
        QCOMPARE(port.bytesAvailable(), 0);
        ::close(master); // hung up: the port closes itself
        QTRY_VERIFY(!port.isOpen());
        QVERIFY(!port.write("x", 1s));
        QCOMPARE(port.open("/dev/tesvaron-none", &why), OpenOutcome::NotFound);
        QCOMPARE(port.open("/dev/null", &why), OpenOutcome::Failed);
        QVERIFY(!why.reason.isEmpty() && !port.isOpen() && port.readAll().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDevicePortQt)
#include "test_device_port_qt.moc"
