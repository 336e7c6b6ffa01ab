// The tesvaron-sim program end to end: a real process, a real pty, QSerialPort on the COM link.

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray hx(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// Reads until n bytes have come or the deadline passes.
QByteArray readBytes(QSerialPort& port, int n, QDeadlineTimer deadline)
{
    QByteArray got;
    while (got.size() < n && !deadline.hasExpired()) {
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(int(deadline.remainingTime())))
            break;
        got += port.readAll();
    }
    return got;
}

bool linkPresent(const QString& path)
{
    return QFileInfo(path).isSymLink() || QFileInfo::exists(path);
}

} // namespace

// Starts tesvaron-sim with its link folder in a temporary directory and talks to it.
class TestSimPty : public QObject
{
    Q_OBJECT

    QProcessEnvironment environmentFor(const QString& folder)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESVARON_PORTS"), folder);
        return env;
    }

    // Starts the program and waits for its announcement; returns the device it names.
    QString start(QProcess& sim, const QString& folder, const QStringList& args, int com)
    {
        sim.setProcessEnvironment(environmentFor(folder));
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.start(QStringLiteral(TESVARON_SIM_BINARY), args);
        if (!sim.waitForStarted(5000)) return {};
        const QDeadlineTimer deadline(10000);
        while (!sim.canReadLine() && !deadline.hasExpired())
            if (!sim.waitForReadyRead(int(deadline.remainingTime()))) break;
        const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
        static const QRegularExpression re(QStringLiteral("^tesvaron-sim: COM(\\d+) -> (\\S+)$"));
        const auto m = re.match(line);
        if (!m.hasMatch() || m.captured(1).toInt() != com) {
            qWarning() << "unexpected announcement" << line << sim.readAllStandardError();
            return {};
        }
        return m.captured(2);
    }

    static bool openPort(QSerialPort& port, const QString& path)
    {
        port.setPortName(path);
        if (!port.open(QIODevice::ReadWrite)) return false;
        return port.setBaudRate(9600) && port.setDataBits(QSerialPort::Data8) &&
               port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
               port.setFlowControl(QSerialPort::NoFlowControl);
    }

    static void stop(QProcess& sim)
    {
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }

private slots:
    void probeAndPagedBlock()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A link left behind by a program that died is replaced.
        const QString link = dir.filePath(QStringLiteral("COM3"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/987654"), link));
        QProcess sim;
        const QString device = start(sim, dir.path(), {}, 3);
        QVERIFY(!device.isEmpty());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        QSerialPort port;
        QVERIFY2(openPort(port, link), qPrintable(port.errorString()));

        QElapsedTimer clock;
        clock.start();
        port.write(hx("A1 04 05 55 AA FE"));
        QVERIFY(port.waitForBytesWritten(2000));
        QCOMPARE(readBytes(port, 6, QDeadlineTimer(3000)).toHex(' '),
                 hx("B1 04 05 55 AA FE").toHex(' '));
        // 5 ms turnaround plus six bytes at 9600 baud
        QVERIFY2(clock.elapsed() >= 10, qPrintable(QString::number(clock.elapsed())));

        // a full block of ten records is 54 bytes: at least 56 ms on a 9600 baud line
        clock.restart();
        port.write(hx("A1 04 01 01 0A 0E"));
        QVERIFY(port.waitForBytesWritten(2000));
        const QByteArray block = readBytes(port, 54, QDeadlineTimer(3000));
        QVERIFY2(clock.elapsed() >= 55, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(block.size(), 54);
        QCOMPARE(block.left(3), hx("B1 34 01"));
        quint8 x = 0;
        for (qsizetype i = 1; i < block.size() - 1; ++i)
            x ^= quint8(block[i]);
        QCOMPARE(quint8(block.back()), x);

        // the port can be closed and opened again between exchanges, as the program does
        port.close();
        QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
        port.write(hx("A1 04 02 00 00 06"));
        QVERIFY(port.waitForBytesWritten(2000));
        QCOMPARE(readBytes(port, 5, QDeadlineTimer(3000)).toHex(' '),
                 hx("B1 03 02 19 18").toHex(' '));
        port.close();

        stop(sim);
        QVERIFY(!linkPresent(link));
    }

    void optionsReachTheLine()
    {
        QTemporaryDir dir;
        QProcess sim;
        const QStringList args{"--com",   "7",           "--records", "4",
                               "--fault", "badcs@probe", "--no-pace"};
        const QString device = start(sim, dir.path(), args, 7);
        QVERIFY(!device.isEmpty());
        const QString link = dir.filePath(QStringLiteral("COM7"));
        QSerialPort port;
        QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
        port.write(hx("A1 04 05 55 AA FE") + hx("A1 04 02 00 00 06"));
        QVERIFY(port.waitForBytesWritten(2000));
        QCOMPARE(readBytes(port, 11, QDeadlineTimer(3000)).toHex(' '),
                 hx("B1 04 05 55 AA 01  B1 03 02 04 05").toHex(' '));
        port.close();
        stop(sim);
        QVERIFY(!linkPresent(link));
        QVERIFY(sim.readAllStandardError().contains("probe 1"));
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("unknown fault") << QStringList{"--fault", "bogus"} << 2;
        QTest::newRow("records out of range") << QStringList{"--records", "256"} << 2;
        QTest::newRow("com 0") << QStringList{"--com", "0"} << 2;
        QTest::newRow("turnaround not a number") << QStringList{"--turnaround", "soon"} << 2;
        // COM4 is set up below as a link to a live device, which must be left alone.
        QTest::newRow("live link in the way") << QStringList{"--com", "4"} << 1;
    }
    void refusesToStart()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM4"));
        if (exitCode == 1) QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        QProcess sim;
        sim.setProcessEnvironment(environmentFor(dir.path()));
        sim.start(QStringLiteral(TESVARON_SIM_BINARY), args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), exitCode);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 exitCode == 1 ? QStringList{"COM4"} : QStringList());
        if (exitCode == 1) QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
    }
};

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
