// tesvaron-cli: finds, reads and watches the instrument from the command line.

#include "cli/cli_core.h"
#include "cli/commands.h"
#include "cli/serial_line.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

using namespace tesvaron::cli;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tesvaron-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESVARON_VERSION));
    // The messages are written in Chinese; every other language reads them in English.
    QTranslator english;
    const QString language = QLocale::system().uiLanguages().value(0);
    if (!language.startsWith(QLatin1String("zh")) &&
        english.load(QStringLiteral(":/i18n/tesvaron-cli_en.qm")))
        QCoreApplication::installTranslator(&english);

    const Options options = parseArguments(QCoreApplication::arguments().mid(1));
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
