#pragma once
// Folders only this user may change: the port links and the instance socket live there, and
// another local user who could plant a link or a socket in them could feed made-up readings
// into the program or stop it from starting.

#include <QString>

namespace tesvaron {

// Why `path` may not hold this user's private files; empty when it may: a folder (or the
// user's own link to one) that belongs to the user and that nobody else may write in. A
// missing folder has no fault; `missing` (when given) tells it apart.
QString privateFolderFault(const QString& path, bool* missing = nullptr);

// Makes `path` with mode 0700 when it is missing, then checks it as above.
QString makePrivateFolder(const QString& path);

// "不使用文件夹 <path>：<fault>".
QString folderRefusal(const QString& path, const QString& fault);

// Writes `message` to standard error after the program's name, once per process.
void tellOnce(const QString& message);

} // namespace tesvaron
