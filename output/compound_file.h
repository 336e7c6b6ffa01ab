#pragma once
// Compound File Binary (OLE2 "structured storage") container holding a single stream, the
// container of Excel 97-2003 workbooks.

#include <QByteArray>
#include <QString>

namespace tesvaron {

// A version 3 compound file (512-byte sectors) whose root storage holds one stream called
// `streamName` (at most 31 characters). A stream shorter than 4096 bytes is padded with zero
// bytes to 4096 so that it lives in regular sectors: readers expect streams under that size in
// the mini stream and reject the file otherwise. Only formats that stop at their own end marker
// (such as a BIFF workbook's EOF record) can take that padding.
QByteArray singleStreamCompoundFile(const QString& streamName, QByteArray stream);

} // namespace tesvaron
