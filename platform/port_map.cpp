#include "platform/port_map.h"

#include "platform/private_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tesvaron {

QString portLinkFolder(QString* refusal)
{
    const QString own = qEnvironmentVariable("TESVARON_PORTS");
    return own.isEmpty() ? runtimeFolder(refusal) : own;
}

QString runtimeFolder(QString* refusal)
{
#ifdef Q_OS_WIN
    Q_UNUSED(refusal);
    // The user's own temporary folder; an XDG variable that leaked in would name a Unix path.
    return QDir::tempPath() + QStringLiteral("/tesvaron");
#else
    // A name built by hand in /tmp could be made first by anybody. Qt says on standard error
    // when it falls back to a folder of its own and why that one is refused; that becomes
    // our one message, and the folder is asked for once per value of the variable.
    static QByteArray askedFor;
    static QString base;
    static QString why;
    static bool asked = false;
    const QByteArray variable = qgetenv("XDG_RUNTIME_DIR");
    if (!asked || variable != askedFor) {
        static QStringList said;
        said.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { said << text; });
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        qInstallMessageHandler(previous);
        why = said.isEmpty() ? QString() : said.last();
        askedFor = variable;
        asked = true;
    }
    if (base.isEmpty()) {
        if (refusal)
            *refusal =
                QCoreApplication::translate(
                    "PrivateFolder", "没有私有的运行文件夹，不使用端口链接和单实例检查（%1）")
                    .arg(why);
        return {};
    }
    return base + QStringLiteral("/tesvaron");
#endif
}

namespace {

struct PortKey
{
    int group;
    QString stem;
    long long number;
    QString name;
};

PortKey keyOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d+)$"));
    const auto m = tail.match(name);
    const QString stem = m.hasMatch() ? m.captured(1) : name;
    const long long number = m.hasMatch() ? m.captured(2).toLongLong() : -1;
    int group = 2;
    if (stem == QLatin1String("ttyUSB"))
        group = 0;
    else if (stem == QLatin1String("ttyACM"))
        group = 1;
    return {group, stem, number, name};
}

#ifndef Q_OS_WIN
// The COM<n> entries of the user's own in the port-link folder, by number. A folder that
// another user may change is not read at all.
QMap<int, QString> portLinks()
{
    QMap<int, QString> links;
    QString refusal;
    const QString folder = portLinkFolder(&refusal);
    if (folder.isEmpty()) {
        tellOnce(refusal);
        return {};
    }
    bool missing = false;
    const QString fault = privateFolderFault(folder, &missing);
    if (!fault.isEmpty()) tellOnce(folderRefusal(folder, fault));
    if (!fault.isEmpty() || missing) return {};
    const QDir dir(folder);
    for (int number = FirstComNumber; number <= LastComNumber; ++number) {
        const QString path = dir.absoluteFilePath(QStringLiteral("COM%1").arg(number));
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid())
            links.insert(number, path);
    }
    return links;
}

// The system's serial devices. Walking them (udev and sysfs) takes milliseconds, and every
// request opens its port afresh, so the walk is repeated only once a device node has come or
// gone in /dev since the last one.
QStringList systemSerialDevices()
{
    static QStringList devices;
    static bool walked = false;
    static timespec walkedAt{};
    struct stat dev
    {
    };
    const bool stamped = ::stat("/dev", &dev) == 0;
    if (walked && stamped && dev.st_mtim.tv_sec == walkedAt.tv_sec &&
        dev.st_mtim.tv_nsec == walkedAt.tv_nsec)
        return devices;
    devices.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    walked = stamped;
    walkedAt = dev.st_mtim;
    return devices;
}
#endif

} // namespace

QStringList orderSystemPorts(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const PortKey ka = keyOf(a), kb = keyOf(b);
        if (ka.group != kb.group) return ka.group < kb.group;
        if (ka.stem != kb.stem) return ka.stem < kb.stem;
        if (ka.number != kb.number) return ka.number < kb.number;
        return ka.name < kb.name;
    });
    return names;
}

QString windowsComPort(int n)
{
    if (n < FirstComNumber || n > LastComNumber) return {};
    // Only COM1 to COM9 are names in every namespace; from 10 on, the device path is needed.
    return n < 10 ? QStringLiteral("COM%1").arg(n) : QStringLiteral("\\\\.\\COM%1").arg(n);
}

QString mapComPort(int n, const QMap<int, QString>& links, const QStringList& systemPorts)
{
    if (n < FirstComNumber || n > LastComNumber) return {};
    if (links.contains(n)) return links.value(n);
    int next = 0;
    for (int number = FirstComNumber; number <= n; ++number) {
        if (links.contains(number)) continue;
        if (number == n) return next < systemPorts.size() ? systemPorts.at(next) : QString();
        ++next;
    }
    return {};
}

QString resolveComPort(int n)
{
#ifdef Q_OS_WIN
    return windowsComPort(n);
#else
    const QMap<int, QString> links = portLinks();
    if (links.contains(n)) return links.value(n);
    QSet<QString> linkedDevices;
    for (const QString& link : links) {
        const QString target = QFileInfo(link).canonicalFilePath();
        if (!target.isEmpty()) linkedDevices.insert(target);
    }

    QStringList system;
    for (const QString& device : systemSerialDevices())
        if (!linkedDevices.contains(QFileInfo(device).canonicalFilePath())) system << device;
    return mapComPort(n, links, orderSystemPorts(system));
#endif
}

} // namespace tesvaron
