#include "output/atomic_file.h"

#include <QSaveFile>

namespace tesvaron {

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    const auto fail = [&] {
        if (error) {
            // A short write (disk full, file size limit) leaves no error code in Qt 6.4.
            const QString reason = file.error() != QFileDevice::NoError
                                       ? file.errorString()
                                       : QStringLiteral("写入不完整（磁盘空间不足？）");
            *error = reason;
        }
        file.cancelWriting(); // the temporary file goes when `file` does; no-op once closed
        return false;
    };
    // Unbuffered, so that a short write shows in write()'s result: Qt 6.4 loses a failed flush
    // of its write buffer and would commit a truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail();
    if (file.write(bytes) != bytes.size()) return fail();
    if (!file.commit()) // removes the temporary file itself
        return fail();
    return true;
}

} // namespace tesvaron
