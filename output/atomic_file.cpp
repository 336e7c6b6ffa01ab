#include "output/atomic_file.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tesvaron {

#ifdef Q_OS_WIN

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

#else

namespace {

// The mode the new file gets: the replaced file's own when it is a plain file, else what a
// new file gets. A plain file the user may not write stays as it is: nothing, errno set.
std::optional<mode_t> modeFor(const QByteArray& target)
{
    struct stat st
    {
    };
    if (::lstat(target.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) return std::nullopt;
        return st.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

// The new file is renamed onto the name itself: a rename replaces a symbolic link instead of
// writing through it, so a link someone else planted (say in /tmp, to a file of ours) cannot
// aim the save elsewhere. In a sticky folder the rename onto another user's link fails, and
// that is a failed save.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") +
                                        info.fileName() + QStringLiteral(".XXXXXX"));
    const auto failed = [error](int code) {
        if (error) *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    const std::optional<mode_t> mode = modeFor(target);
    if (!mode) return failed(errno);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failed(errno);
    int code = 0;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            code = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (code == 0 && (::fchmod(fd, *mode) != 0 || ::fsync(fd) != 0)) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(temp.constData(), target.constData()) != 0) code = errno;
    if (code == 0) return true;
    ::unlink(temp.constData());
    return failed(code);
}

#endif

} // namespace tesvaron
