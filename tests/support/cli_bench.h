#pragma once
// tesvaron-cli run as a program, with tesvaron-sim behind a pty when asked.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtGlobal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace tesvaron::test {

// A private port-link folder where only the simulator's COM number names a device.
struct Bench
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess sim;
    mutable QProcess cli;
    QString device;  // the simulator's end of its pty
    int locked = -1; // a device this process holds flocked
    bool terminal = false;

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
        sim.setProcessChannelMode(QProcess::MergedChannels); // with -v, what it receives
        sim.start(TESVARON_SIM_BINARY, simArgs + QStringList{"--no-pace"});
        sim.waitForReadyRead(10000); // its link is in place once it says where it points
        device = QString(sim.readAllStandardOutput()).section(' ', -1).trimmed();
    }
    ~Bench()
    {
        sim.terminate(), sim.waitForFinished(5000);
        if (locked >= 0) ::close(locked);
    }
    int run(const QStringList& args, const QString& program = TESVARON_CLI_BINARY) const
    {
        cli.start(program, args); // the exit code is returned, the output stays in `cli`
        const bool ended = cli.waitForFinished(30000) && cli.exitStatus() == QProcess::NormalExit;
        return ended ? cli.exitCode() : -1;
    }
    QByteArray file(const QString& name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    // Carries out a transcript's steps and writes down what came of each in the transcript's
    // own form, so that a program that behaves gives back the case's lines unchanged.
    //   sim ARGS          the simulator (started by the constructor)
    //   env NAME=VALUE    for the program from here on
    //   put PATH TEXT     a file holding TEXT and a line end; mkdir PATH; link COMn TARGET
    //   lock COMn         the device flocked by another program (this one)
    //   merge             standard error goes into standard output, in the order written
    //   tty               the program's output goes to a terminal from here on (script(1))
    //   run ARGS          the program (quotes as in a shell); then "exit N", "out" and "err"
    //   file PATH         the file's bytes
    // Output lines follow as "|line"; "(no line end)" after a last line without one; a carriage
    // return is written <CR>, a byte-order mark <BOM>. What varies is written as <dir> (the
    // bench's folder; spaces after a name in it become one), <pty> (the simulator's device; a
    // column padded after it keeps its width) and <time> (the time a watch line starts with or
    // its JSON gives).
    QStringList play(const QStringList& steps)
    {
        static const QRegularExpression pty("/dev/pts/\\d+( {2,})?"),
            time("(^|\"time\":\")\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:"
                 "\\d\\d)",
                 QRegularExpression::MultilineOption);
        static const QRegularExpression folder("(<dir>[^\\s\"]*)( ?) *");
        QStringList got;
        const auto write = [&](const char* title, const QByteArray& bytes) {
            QString text =
                (bytes.startsWith("\xEF\xBB\xBF") ? "<BOM>" : "") + QString::fromUtf8(bytes);
            text.replace('\r', "<CR>")
                .replace(dir.path(), "<dir>")
                .replace(folder, "\\1\\2")
                .replace(time, "\\1<time>");
            for (auto m = pty.match(text); m.hasMatch(); m = pty.match(text, m.capturedStart() + 5))
                text.replace(
                    m.capturedStart(), m.capturedLength(),
                    QString("<pty>").leftJustified(m.capturedLength(1) ? m.capturedLength() : 5));
            if (text.isEmpty()) return;
            if (*title) got << title;
            const bool ended = text.endsWith('\n');
            for (const QString& line : (ended ? text.chopped(1) : text).split('\n'))
                got << '|' + line;
            if (!ended) got << "(no line end)";
        };
        for (const QString& step : steps) {
            const QString word = step.section(' ', 0, 0);
            const QString arg =
                QString(step).section(' ', 1).replace("<dir>", dir.path()).replace("<pty>", device);
            if (!QStringList{"sim", "env", "put", "mkdir", "link", "lock", "merge", "tty", "run",
                             "file"}
                     .contains(word))
                continue; // a result: written down again below
            got << step;
            if (word == "env") {
                env.insert(arg.section('=', 0, 0), arg.section('=', 1));
                cli.setProcessEnvironment(env);
            } else if (word == "put") {
                QFile put(dir.filePath(arg.section(' ', 0, 0)));
                if (!put.open(QIODevice::WriteOnly) ||
                    put.write(arg.section(' ', 1).toUtf8() + '\n') < 0)
                    got << "(not put)";
            } else if (word == "mkdir") {
                QDir(dir.path()).mkpath(arg);
            } else if (word == "link") {
                QFile::remove(dir.filePath(arg.section(' ', 0, 0)));
                QFile::link(arg.section(' ', 1), dir.filePath(arg.section(' ', 0, 0)));
            } else if (word == "lock") {
                locked = ::open(QFile::encodeName(QFileInfo(dir.filePath(arg)).symLinkTarget()),
                                O_RDWR | O_NOCTTY | O_CLOEXEC);
                if (locked < 0 || ::flock(locked, LOCK_EX | LOCK_NB) != 0) got << "(not locked)";
            } else if (word == "merge") {
                cli.setProcessChannelMode(QProcess::MergedChannels);
            } else if (word == "tty") {
                env.insert("SHELL", "/bin/sh"), cli.setProcessEnvironment(env);
                terminal = true;
            } else if (word == "run") {
                const QStringList args = QProcess::splitCommand(arg);
                const QString line = TESVARON_CLI_BINARY " '" + args.join("' '") + '\'';
                got << QString("exit %1").arg(terminal ? run({"-qec", line, "/dev/null"}, "script")
                                                       : run(args));
                write("out", cli.readAllStandardOutput());
                if (cli.processChannelMode() != QProcess::MergedChannels)
                    write("err", cli.readAllStandardError());
            } else if (word == "file") {
                write("", file(arg));
            }
        }
        return got;
    }
    // Where a replay of `steps` first went otherwise, with all it did on standard error.
    QString replay(const QStringList& steps)
    {
        const QStringList got = play(steps);
        if (got == steps) return {};
        std::fprintf(stderr, "It went:\n%s\n", qPrintable(got.join('\n')));
        qsizetype i = 0;
        while (i < got.size() && i < steps.size() && got[i] == steps[i])
            ++i;
        return QString("step %1: %2 (expected: %3)").arg(i).arg(got.value(i), steps.value(i));
    }
};

// The cases of a transcript file as test data: "== name", then its lines; blank lines and "#"
// lines aside.
inline void addTranscripts(const QString& name)
{
    QFile f(qEnvironmentVariable("TESVARON_TEST_DATA") + '/' + name);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
    QTest::addColumn<QStringList>("steps");
    QStringList steps;
    for (const QString& line : QString::fromUtf8(f.readAll() + "\n== ").split('\n')) {
        if (line.startsWith("== ") && !steps.isEmpty())
            QTest::newRow(qPrintable(steps.takeFirst())) << std::exchange(steps, {});
        if (line.startsWith("== "))
            steps << line.mid(3);
        else if (!steps.isEmpty() && !line.isEmpty() && !line.startsWith('#'))
            steps << line;
    }
}

} // namespace tesvaron::test
