// What resolving a COM number costs when no link names it, as on a machine with a USB serial
// adapter and no port-link folder. Every request opens its port afresh, so one poll resolves
// one number; walking the system's serial devices for each of them cost about 11 ms, which at
// one poll every 1.5 s alone came to 0.7 % of a core.

#include "platform/port_map.h"
#include "tests/support/pty_pair.h"

#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

class PortLookupTest : public QObject
{
    Q_OBJECT

private slots:
    void unlinkedNumbersDoNotWalkTheDevicesEveryTime()
    {
        PortFolder empty;
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
        // Fifty walks would take fifty times one walk.
        QVERIFY(lookups < 5 * walk);
    }
};

QTEST_GUILESS_MAIN(PortLookupTest)
#include "test_port_lookup.moc"
