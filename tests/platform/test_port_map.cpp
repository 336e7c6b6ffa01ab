// COM numbers on this system: the link folder, the order of system ports, the mapping.

#include "platform/port_map.h"

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

    void mappingWithoutLinks()
    {
        const QStringList system{"/dev/ttyUSB0", "/dev/ttyS0"};
        QCOMPARE(mapComPort(1, {}, system), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(mapComPort(2, {}, system), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(mapComPort(3, {}, system), QString());
        QCOMPARE(mapComPort(0, {}, system), QString());
        QCOMPARE(mapComPort(17, {}, system), QString());
    }

    void linksTakeTheirNumbersFirst()
    {
        const QStringList system{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0"};
        const QMap<int, QString> links{{1, "/run/x/COM1"}, {3, "/run/x/COM3"}};
        // Free numbers 2, 4, 5 go to the system ports in order.
        QCOMPARE(mapComPort(1, links, system), QStringLiteral("/run/x/COM1"));
        QCOMPARE(mapComPort(2, links, system), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(mapComPort(3, links, system), QStringLiteral("/run/x/COM3"));
        QCOMPARE(mapComPort(4, links, system), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(mapComPort(5, links, system), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(mapComPort(6, links, system), QString());
        QCOMPARE(mapComPort(16, {{16, "/l/COM16"}}, {}), QStringLiteral("/l/COM16"));
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
};

QTEST_GUILESS_MAIN(PortMapTest)
#include "test_port_map.moc"
