#include "platform/lock_files.h"

#include <QByteArray>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesvaron {

QStringList systemLockFolders()
{
    return {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
}

QString lockFileName(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

qint64 lockHolder(const QString& device, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + lockFileName(device));
        // Non-blocking: a FIFO planted under the lock's name would hold a plain open for ever.
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat lock
        {
        };
        char text[64] = {};
        const bool regular = ::fstat(fd, &lock) == 0 && S_ISREG(lock.st_mode);
        const ssize_t n = regular ? ::read(fd, text, sizeof text - 1) : -1;
        ::close(fd);
        if (n <= 0) continue;
        // "%10d\n" as the serial tools write it, or Qt's "pid\nname\nhost\n": the first line.
        bool ok = false;
        const qint64 pid = QByteArray(text, n).split('\n').first().trimmed().toLongLong(&ok);
        if (!ok || pid <= 0 || pid == qint64(::getpid())) continue;
        struct stat process
        {
        };
        if (::stat(("/proc/" + QByteArray::number(pid)).constData(), &process) != 0) continue;
        if (process.st_uid == lock.st_uid) return pid;
    }
    return 0;
}

} // namespace tesvaron
