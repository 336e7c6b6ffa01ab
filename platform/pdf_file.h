#pragma once
// Where a print goes when no printer is installed and Qt prints to a PDF file instead.

#include <QDateTime>
#include <QString>

namespace tesvaron {

// "打印-20261207-010533.pdf": a new name for every print, so none asks to overwrite another.
QString pdfFileName(const QDateTime& when);

// That name in the default save folder, which is created first: QPrinter does not create it,
// and on a fresh account it does not exist yet.
QString pdfFallbackPath(const QDateTime& when);

} // namespace tesvaron
