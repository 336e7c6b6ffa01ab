// ComOpen through the window over the system's serial ports: pseudo-terminals, a file and a
// directory linked as COM<n>, and numbers that name nothing.

#include "tests/support/form_rig.h"
#include "tests/support/pty_pair.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

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
    void outcomes_data()
    {
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("target"); // what COM<com> links to; empty: no link
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("tip"); // in the tooltip, which says which device or why not
        QTest::newRow("opens") << 1 << "pty"
                               << "COM1已打开" << true << "";
        QTest::newRow("no such port") << 12 << ""
                                      << "COM12无效" << false << "";
        QTest::newRow("dangling link") << 5 << "gone"
                                       << "COM5无效" << false << "";
        QTest::newRow("held by another program") << 3 << "held"
                                                 << "COM3被占用" << false << "";
        // Any other failure reads as opened, but the port stays closed.
        QTest::newRow("regular file") << 4 << "file"
                                      << "COM4已打开" << false << "";
        QTest::newRow("directory") << 6 << "dir"
                                   << "COM6已打开" << false << "";
        QTest::newRow("no permission") << 7 << "readonly"
                                       << "COM7已打开" << false << "dialout";
    }

    void outcomes()
    {
        QFETCH(int, com);
        QFETCH(QString, target);
        QFETCH(QString, label);
        QFETCH(bool, open);
        QFETCH(QString, tip);
        if (target == QLatin1String("readonly") && ::getuid() == 0)
            QSKIP("root may open any device");
        PortFolder ports;
        PtyPair pty;
        QTemporaryDir scratch;
        QFile plain(scratch.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        const QMap<QString, QString> paths{
            {"pty", pty.slavePath()},      {"held", pty.slavePath()},
            {"readonly", pty.slavePath()}, {"gone", scratch.filePath(QStringLiteral("gone"))},
            {"file", plain.fileName()},    {"dir", scratch.path()}};
        if (!target.isEmpty()) QVERIFY(ports.link(com, paths.value(target)));
        if (target == QLatin1String("readonly"))
            QFile::setPermissions(pty.slavePath(), QFile::ReadOwner);
        CommControl other(new QtSerialBackend);
        other.setCommPort(com);
        if (target == QLatin1String("held")) QCOMPARE(other.setPortOpen(true), 0);

        RealPortWindow w;
        w.form->ComOpen(std::int16_t(com));
        QCOMPARE(w.form->LabComsta->text(), label);
        QCOMPARE(w.form->MSComm1->PortOpen(), open);
        if (open) QCOMPARE(w.form->MSComm1->CommPort(), com);
        const QString shown = w.form->LabComsta->toolTip();
        QVERIFY2(open ? shown.contains(pty.slavePath()) : shown.size() > 10 && shown.contains(tip),
                 qPrintable(shown));
        // Once the other program lets go, the port opens.
        if (other.PortOpen()) {
            other.setPortOpen(false);
            w.form->ComOpen(std::int16_t(com));
            QCOMPARE(w.form->LabComsta->text(), QStringLiteral("COM%1已打开").arg(com));
            QVERIFY(w.form->MSComm1->PortOpen());
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
        QCOMPARE(w.form->MSComm1->Input(), QByteArray());
    }
};

QTEST_MAIN(ComOpenTest)
#include "test_com_open.moc"
