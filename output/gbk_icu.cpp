#include "output/text_files.h"

#include <QStringEncoder>

namespace tesvaron {

// Qt reaches GBK through ICU here; Windows builds have no ICU and use gbk_win.cpp.
QByteArray toGbk(const QString& text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

} // namespace tesvaron
