#include "platform/pdf_file.h"

#include "platform/qt_output_seams.h"

#include <QDir>

namespace tesvaron {

QString pdfFileName(const QDateTime& when)
{
    return QStringLiteral("打印-%1.pdf").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString pdfFallbackPath(const QDateTime& when)
{
    const QString folder = defaultSaveFolder();
    QDir().mkpath(folder);
    return QDir(folder).filePath(pdfFileName(when));
}

} // namespace tesvaron
