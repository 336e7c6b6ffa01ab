// tesvaron-cli: finds, reads and watches the instrument from the command line.

#include "cli/archive_commands.h"
#include "cli/cli_core.h"
#include "cli/commands.h"
#include "cli/serial_line.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <memory>

using namespace tesvaron::cli;

int main(int argc, char** argv)
{
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLocal8Bit(argv[i]));
    // The report draws its pages with Qt Gui: that one command gets an offscreen application.
    std::unique_ptr<QCoreApplication> app;
    if (archiveCommandDraws(given)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tesvaron-cli"));
    // The messages are written in Chinese; every other language reads them in English.
    QTranslator english;
    const QString language = QLocale::system().uiLanguages().value(0);
    if (!language.startsWith(QLatin1String("zh")) &&
        english.load(QStringLiteral(":/i18n/tesvaron-cli_en.qm")))
        QCoreApplication::installTranslator(&english);

    const QStringList args = QCoreApplication::arguments().mid(1);
    if (isArchiveCommand(args)) return exitCode(runArchive(args));
    const Options options = parseArguments(args);
    if (!options.error.isEmpty()) {
        complain(options.error + CliText::tr("（见 tesvaron-cli --help）"));
        return exitCode(Outcome::Usage);
    }
    if (options.version) {
        std::printf("tesvaron-cli %s\n", TESVARON_VERSION);
        return 0;
    }
    if (options.help) {
        std::fputs(usageText(options.command).toUtf8().constData(), stdout);
        return 0;
    }

    Interrupt interrupt;
    Outcome outcome = Outcome::Usage;
    switch (options.command) {
    case Command::Ports:
        outcome = runPorts(options);
        break;
    case Command::Find:
        outcome = runFind(options, interrupt);
        break;
    case Command::Read:
        outcome = runRead(options, interrupt);
        break;
    case Command::Watch:
        outcome = runWatch(options, interrupt);
        break;
    case Command::None:
        break;
    }
    return exitCode(outcome);
}
