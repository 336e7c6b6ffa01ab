// COM-number mapping and the save dialog's file types, by table.

#include "platform/port_map.h"
#include "platform/qt_output_seams.h"

#include <QTest>

using namespace tesvaron;

class TestPlatformTables : public QObject
{
    Q_OBJECT
private slots:
    void systemPortOrder()
    {
        QCOMPARE(orderSystemPorts({"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS0",
                                   "/dev/ttyUSB2", "/dev/ttyAMA0"}),
                 (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0",
                              "/dev/ttyS0", "/dev/ttyS1"}));
    }

    // Links take their numbers; the system's ports fill the others in order.
    void comNumbers()
    {
        const QMap<int, QString> links{{2, "/links/COM2"}, {4, "/links/COM4"}};
        const QStringList system{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"};
        const QStringList expected{
            "", "/dev/ttyUSB0", "/links/COM2", "/dev/ttyUSB1", "/links/COM4", "/dev/ttyS0", "", ""};
        for (int n = 0; n < expected.size(); ++n)
            QCOMPARE(mapComPort(n, links, system), expected[n]);
        QCOMPARE(mapComPort(16, {{16, "/links/COM16"}}, system), "/links/COM16");
        QCOMPARE(mapComPort(17, {{17, "/links/COM17"}}, system), "");
    }

    void fileTypesOfAFilter()
    {
        const std::vector<FileType> types =
            fileTypes("txt格式 (*.txt)|*.txt|excel格式|*.xls;*.xlsx|all|*.*|");
        QCOMPARE(types.size(), std::size_t(3));
        QCOMPARE(types[0].nameFilter, "txt格式 (*.txt)");
        QCOMPARE(types[0].extension, "txt");
        QCOMPARE(types[1].nameFilter, "excel格式 (*.xls *.xlsx)");
        QCOMPARE(types[1].extension, "xls");
        QCOMPARE(types[2].extension, "");
    }
};

QTEST_GUILESS_MAIN(TestPlatformTables)
#include "test_platform_tables.moc"
