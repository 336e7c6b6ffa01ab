#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace tesvaron {

bool installQtTranslations(QCoreApplication& app, const QLocale& locale)
{
    QStringList names;
    if (locale.language() == QLocale::Chinese) {
        names << QStringLiteral("qtbase_") + locale.name();
        if (locale.script() == QLocale::TraditionalChineseScript)
            names << QStringLiteral("qtbase_zh_TW");
    }
    names << QStringLiteral("qtbase_zh_CN");

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&app);
    for (const QString& name : names) {
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
            return true;
    }
    delete translator;
    return false;
}

} // namespace tesvaron
