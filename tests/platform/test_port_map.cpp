// COM numbers on this system: the link folder, the order of system ports, the mapping, and
// what resolving a number costs.

#include "platform/port_map.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace tesvaron;

class PortMapTest : public QObject
{
    Q_OBJECT

private slots:
    void systemPortOrder()
    {
        const QStringList in{"/dev/ttyS1",   "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS0",
                             "/dev/ttyUSB2", "/dev/ttyAMA0", "/dev/ttyACM1",  "/dev/ttyUSB0"};
        const QStringList expected{"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                   "/dev/ttyACM1", "/dev/ttyAMA0", "/dev/ttyS0",    "/dev/ttyS1"};
        QCOMPARE(orderSystemPorts(in), expected);
    }

    void mapping()
    {
        const QStringList system{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0"};
        QStringList unlinked, linked;
        for (int n = 0; n <= 17; ++n) {
            unlinked << mapComPort(n, {}, system);
            linked << mapComPort(n, {{1, "/run/x/COM1"}, {3, "/run/x/COM3"}}, system);
        }
        // Without links the system ports take 1, 2, 3; links keep their numbers and the system
        // ports take the free ones, 2, 4, 5, in order. Nothing below 1 or above 16.
        const QString none;
        QCOMPARE(unlinked, (QStringList{none, "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0"} +
                            QStringList(14, none)));
        QCOMPARE(linked, (QStringList{none, "/run/x/COM1", "/dev/ttyUSB0", "/run/x/COM3",
                                      "/dev/ttyACM0", "/dev/ttyS0"} +
                          QStringList(12, none)));
        QCOMPARE(mapComPort(16, {{16, "/l/COM16"}}, {}), QStringLiteral("/l/COM16"));
        QCOMPARE(mapComPort(17, {{17, "/l/COM17"}}, {}), none);
    }

    void linkFolderChoice()
    {
        const QByteArray ports = qgetenv("TESVARON_PORTS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TESVARON_PORTS", "/somewhere/ports");
        qputenv("XDG_RUNTIME_DIR", "/run/user/1000");
        QCOMPARE(portLinkFolder(), QStringLiteral("/somewhere/ports"));
        qunsetenv("TESVARON_PORTS");
        QCOMPARE(portLinkFolder(), QStringLiteral("/run/user/1000/tesvaron"));
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(portLinkFolder(), QStringLiteral("/tmp/tesvaron-%1").arg(::getuid()));
        qputenv("TESVARON_PORTS", ports);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }

    // Resolving a COM number that no link names, as on a machine with a USB serial adapter and
    // no port-link folder. Every request opens its port afresh, so one poll resolves one number;
    // walking the system's serial devices for each of them cost about 11 ms, which at one poll
    // every 1.5 s alone came to 0.7 % of a core.
    void unlinkedNumbersDoNotWalkTheDevicesEveryTime()
    {
        const QTemporaryDir empty;
        const QByteArray ports = qgetenv("TESVARON_PORTS");
        qputenv("TESVARON_PORTS", QFile::encodeName(empty.path()));
        QElapsedTimer clock;
        clock.start();
        const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
        const qint64 walk = clock.nsecsElapsed();

        QStringList devices;
        for (const QSerialPortInfo& info : infos)
            devices << info.systemLocation();
        const QStringList ordered = orderSystemPorts(devices);
        // The same answers as a fresh walk gives.
        for (int n = FirstComNumber; n <= 3; ++n)
            QCOMPARE(resolveComPort(n), mapComPort(n, {}, ordered));

        constexpr int Lookups = 50;
        clock.restart();
        for (int i = 0; i < Lookups; ++i)
            QCOMPARE(resolveComPort(1), mapComPort(1, {}, ordered));
        const qint64 lookups = clock.nsecsElapsed();
        qInfo("one walk of the serial devices %.2f ms; %d lookups of COM1 %.2f ms", walk / 1e6,
              Lookups, lookups / 1e6);
        qputenv("TESVARON_PORTS", ports);
        // Fifty walks would take fifty times one walk.
        QVERIFY(lookups < 5 * walk);
    }
};

QTEST_GUILESS_MAIN(PortMapTest)
#include "test_port_map.moc"
