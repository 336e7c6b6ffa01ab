#include "app/archive_windows.h"
#include "app/form1.h"
#include "platform/qt_translations.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("tesvaron"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESVARON_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("无线高压测试仪的桌面配套程序"));
    // Qt's own options are single-dash words (-platform, -stylesheet): never read them as -p -l ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Our own help and version options, so that their descriptions read Chinese too.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本帮助并退出"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号并退出"));
    parser.addOption(help);
    parser.addOption(version);
    {
        // --help and --version answer without a display, e.g. over SSH.
        QCoreApplication core(argc, argv);
        tesvaron::installQtTranslations(core, QLocale());
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(help)) parser.showHelp(0);
        if (parser.isSet(version)) parser.showVersion();
    }

    QApplication app(argc, argv);
    tesvaron::installQtTranslations(app, QLocale());
    // Now that Qt has taken its own options (-platform, -display, ...), anything left is ours.
    parser.process(app);

    tesvaron::SingleInstance instance(tesvaron::SingleInstance::defaultPath());
    if (!instance.claim()) return 0;

    // Before the window, so that it outlives the window's filing into it.
    tesvaron::archive::Store archive(tesvaron::archive::defaultLocation());
    tesvaron::Form1 window;
    window.Archive->setStore(&archive);
    window.addMeasurementListener(&archive);
    QObject::connect(&instance, &tesvaron::SingleInstance::raiseRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.show();
    return QApplication::exec();
}
