#pragma once
// Qt's own texts (dialog buttons, the file and print dialogs) in Chinese, as the window is.

#include <QLocale>

class QCoreApplication;

namespace tesvaron {

// Installs Qt's translation for `locale` when it is Chinese and Qt has one (zh_TW gets
// traditional characters), else the simplified Chinese one. False when none could be loaded.
bool installQtTranslations(QCoreApplication& app, const QLocale& locale);

} // namespace tesvaron
