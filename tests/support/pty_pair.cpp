#include "tests/support/pty_pair.h"

#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tesvaron::test {

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slave_ = QString::fromLocal8Bit(::ptsname(master_));
    keepSlave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    termios tio{};
    if (keepSlave_ >= 0 && ::tcgetattr(keepSlave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(keepSlave_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (keepSlave_ >= 0) ::close(keepSlave_);
    if (master_ >= 0) ::close(master_);
}

bool PtyPair::send(const QByteArray& bytes)
{
    return ::write(master_, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PtyPair::receive(int want, int ms)
{
    QByteArray got;
    QDeadlineTimer deadline(ms);
    while (got.size() < want && !deadline.hasExpired()) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) got.append(buf, int(n));
    }
    return got;
}

PortFolder::PortFolder() : old_(qgetenv("TESVARON_PORTS"))
{
    qputenv("TESVARON_PORTS", QFile::encodeName(dir_.path()));
}

PortFolder::~PortFolder()
{
    if (old_.isEmpty())
        qunsetenv("TESVARON_PORTS");
    else
        qputenv("TESVARON_PORTS", old_);
}

bool PortFolder::link(int com, const QString& target)
{
    return QFile::link(target, dir_.filePath(QStringLiteral("COM%1").arg(com)));
}

} // namespace tesvaron::test
