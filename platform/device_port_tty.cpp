// DevicePort on a POSIX terminal device, without the serial library: its lock-file handling
// opens whatever sits under the lock's name in a world-writable folder and waits for ever on a
// FIFO there, and its read buffer has no bound unless set.
#include "platform/device_port.h"

#include "platform/lock_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tesvaron {

struct DevicePort::State
{
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QByteArray buffer;
    termios saved{};
    QStringList lockFolders = systemLockFolders();
    QByteArray ownLock; // the lock file we made, removed at close
};

namespace {

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Our lock file, for the serial tools that look for one, in the layout both they and Qt read.
// Where none can be made (someone else's file under the name, no folder we may write in) the
// flock and the exclusive mode still hold the port.
QByteArray makeLock(const QString& device, const QStringList& folders)
{
    const QByteArray text =
        QByteArray::number(::getpid()) + '\n' +
        QFile::encodeName(QCoreApplication::applicationFilePath()).split('/').last() + '\n' +
        QSysInfo::machineHostName().toUtf8() + '\n';
    for (const QString& folder : folders) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + lockFileName(device));
        const int fd =
            ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) continue;
        const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
        if (::close(fd) == 0 && written) return path;
        ::unlink(path.constData());
    }
    return {};
}

} // namespace

DevicePort::DevicePort(QObject* parent) : QObject(parent), d_(std::make_unique<State>()) {}

DevicePort::~DevicePort()
{
    close();
}

void DevicePort::setLockFolders(const QStringList& folders)
{
    d_->lockFolders = folders;
}

OpenOutcome DevicePort::open(const QString& device, Refusal* why)
{
    close();
    if ((why->lockHolder = lockHolder(device, d_->lockFolders)) != 0) return OpenOutcome::InUse;
    const QByteArray path = QFile::encodeName(device);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        why->reason = systemReason(code);
        switch (code) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenOutcome::NotFound;
        case EBUSY:
            return OpenOutcome::InUse;
        case EACCES:
        case EPERM:
            return ::access(path.constData(), R_OK | W_OK) == 0 ? OpenOutcome::InUse
                                                                : OpenOutcome::NoPermission;
        default:
            return OpenOutcome::Failed;
        }
    }
    const auto fail = [&](OpenOutcome outcome, const QString& reason) {
        ::close(fd);
        why->reason = reason;
        return outcome;
    };
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return fail(OpenOutcome::Failed, systemReason(errno));
    // Other users' opens fail while we hold it; root ignores that, so holders that only flock
    // are asked too, and our flock tells them ours.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        why->flocked = true;
        return fail(OpenOutcome::InUse, {});
    }
    d_->saved = tio;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail(OpenOutcome::Failed, systemReason(errno));

    d_->fd = fd;
    d_->buffer.clear();
    d_->ownLock = makeLock(device, d_->lockFolders);
    d_->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(d_->notifier, &QSocketNotifier::activated, this, [this] {
        State& s = *d_;
        if (s.fd < 0) return;
        const qsizetype room = ReadLimit - s.buffer.size();
        if (room <= 0) {
            s.notifier->setEnabled(false); // the driver holds the rest until a read
            return;
        }
        char chunk[ReadLimit];
        const ssize_t n = ::read(s.fd, chunk, size_t(room));
        if (n > 0) {
            s.buffer.append(chunk, n);
            if (s.buffer.size() >= ReadLimit) s.notifier->setEnabled(false);
            emit readyRead();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // Hung up (a pty reads EIO once its other side is gone, a dropped line reads end
            // of file): it would stay readable for ever, so it is closed, and the exchange ends
            // through the reply timeout.
            close();
        }
    });
    return OpenOutcome::Opened;
}

void DevicePort::close()
{
    State& s = *d_;
    if (s.fd < 0) return;
    // The notifier may be the caller: it goes once control is back in the event loop.
    s.notifier->setEnabled(false);
    s.notifier->deleteLater();
    s.notifier = nullptr;
    ::tcsetattr(s.fd, TCSANOW, &s.saved);
    ::ioctl(s.fd, TIOCNXCL);
    ::close(s.fd);
    s.fd = -1;
    s.buffer.clear();
    if (!s.ownLock.isEmpty()) ::unlink(s.ownLock.constData());
    s.ownLock.clear();
}

bool DevicePort::isOpen() const
{
    return d_->fd >= 0;
}

bool DevicePort::write(const QByteArray& bytes, std::chrono::milliseconds wait)
{
    const int fd = d_->fd;
    if (fd < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLOUT, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) return false;
    }
    return true;
}

qint64 DevicePort::bytesAvailable() const
{
    return d_->buffer.size();
}

QByteArray DevicePort::readAll()
{
    QByteArray taken;
    taken.swap(d_->buffer);
    if (d_->notifier) d_->notifier->setEnabled(true);
    return taken;
}

void DevicePort::clearInput()
{
    if (d_->fd < 0) return;
    ::tcflush(d_->fd, TCIFLUSH);
    d_->buffer.clear();
    d_->notifier->setEnabled(true);
}

} // namespace tesvaron
