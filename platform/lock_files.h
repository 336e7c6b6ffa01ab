#pragma once
// Serial lock files: LCK..<name> in the system's lock folder, holding the number of the process
// that has the port. Anybody may write in those folders, so a file there is believed only when
// it is a plain file that belongs to the owner of the live process it names, and reading one
// never waits.

#include <QString>
#include <QStringList>

namespace tesvaron {

// Where the system's serial tools keep their locks.
QStringList systemLockFolders();

// The live process other than this one that a lock file in `folders` names for `device`; 0 when
// there is none. A FIFO, a device node, a link or a file whose owner is not the owner of the
// process it names is no lock.
qint64 lockHolder(const QString& device, const QStringList& folders);

// "LCK..<name>" for a device path: "/dev/ttyUSB0" -> "LCK..ttyUSB0", "/dev/pts/3" -> "LCK..pts_3".
QString lockFileName(const QString& device);

} // namespace tesvaron
