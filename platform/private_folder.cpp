#include "platform/private_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <cstring>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tesvaron {

QString privateFolderFault(const QString& path, bool* missing)
{
    if (missing) *missing = false;
#ifdef Q_OS_WIN
    // The per-user folders Windows hands out are private already.
    if (!QDir(path).exists() && missing) *missing = true;
    return {};
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT) return QString::fromLocal8Bit(std::strerror(errno));
        if (missing) *missing = true;
        return {};
    }
    // A link of someone else's can be turned to another folder at any time.
    if (S_ISLNK(st.st_mode) && st.st_uid != ::geteuid())
        return QCoreApplication::translate("PrivateFolder", "它是用户 %1 的符号链接")
            .arg(st.st_uid);
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0) {
        if (missing) *missing = true;
        return {};
    }
    if (!S_ISDIR(st.st_mode)) return QCoreApplication::translate("PrivateFolder", "它不是文件夹");
    if (st.st_uid != ::geteuid())
        return QCoreApplication::translate("PrivateFolder", "它属于用户 %1，不属于当前用户（%2）")
            .arg(st.st_uid)
            .arg(::geteuid());
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QCoreApplication::translate("PrivateFolder", "组或其他用户可以写入（权限 %1）")
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
#endif
}

QString makePrivateFolder(const QString& path)
{
#ifndef Q_OS_WIN
    // Made in one step with its final mode: no moment in which another user could get in.
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    QDir().mkpath(path);
#endif
    bool missing = false;
    const QString fault = privateFolderFault(path, &missing);
    return missing ? QCoreApplication::translate("PrivateFolder", "无法创建") : fault;
}

QString folderRefusal(const QString& path, const QString& fault)
{
    return QCoreApplication::translate("PrivateFolder", "不使用文件夹 %1：%2")
        .arg(QDir::toNativeSeparators(path), fault);
}

void tellOnce(const QString& message)
{
    static QSet<QString> told;
    if (told.contains(message)) return;
    told.insert(message);
    const QString line = QCoreApplication::applicationName() + QStringLiteral(": ") + message;
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

} // namespace tesvaron
