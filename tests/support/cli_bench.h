#pragma once
// tesvaron-cli run as a program, with tesvaron-sim behind a pty when asked.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace tesvaron::test {

// A private port-link folder where only the simulator's COM number names a device.
struct Bench
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess sim;
    mutable QProcess cli;

    explicit Bench(const QStringList& simArgs = {})
    {
        env.insert("TESVARON_PORTS", dir.path());
        env.insert("XDG_DATA_HOME", dir.filePath("data")); // the archive read and watch file into
        env.insert("LC_ALL", "zh_CN.UTF-8"), env.remove("LANGUAGE"); // as its users have it
        for (int com = 1; com <= 16; ++com)
            QFile::link(dir.filePath("absent"), dir.filePath(QString("COM%1").arg(com)));
        sim.setProcessEnvironment(env), cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(dir.path());
        if (simArgs.isEmpty()) return;
        sim.start(TESVARON_SIM_BINARY, simArgs + QStringList{"--no-pace"});
        sim.waitForReadyRead(10000); // its link is in place once it says where it points
    }
    ~Bench() { sim.terminate(), sim.waitForFinished(5000); }
    int run(const QStringList& args) const // the exit code; the output stays in `cli`
    {
        cli.start(TESVARON_CLI_BINARY, args);
        const bool ended = cli.waitForFinished(30000) && cli.exitStatus() == QProcess::NormalExit;
        return ended ? cli.exitCode() : -1;
    }
    QByteArray file(const QString& name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
};

} // namespace tesvaron::test
