#pragma once
// How "COM n" names a serial device on this machine.
//
// Linux and other Unix systems, resolved afresh at every open:
//  1. a symbolic link COM<n> of the user's own in the port-link folder ($TESVARON_PORTS, else
//     the runtime folder) names the device it points at; a folder that is not private to the
//     user is not read (one line on standard error says why);
//  2. the numbers not taken by links go, in ascending order, to the serial ports the system
//     reports: ttyUSB* first, then ttyACM*, then the rest, each group in numeric order.
// Windows: COM n is the system's port COM<n>, named \\.\COM<n> from 10 on; no links.

#include "link/link_logic.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace tesvaron {

// This user's folder for the program's runtime files: "tesvaron" in Qt's runtime location
// ($XDG_RUNTIME_DIR when it is the user's own and private, else a per-user folder Qt makes and
// checks). Empty when there is none; `refusal` (when given) then says why.
QString runtimeFolder(QString* refusal = nullptr);
// $TESVARON_PORTS, else the runtime folder.
QString portLinkFolder(QString* refusal = nullptr);

// Orders system port names (e.g. "ttyS0", "ttyUSB1") as the numbering hands them out.
QStringList orderSystemPorts(QStringList names);

// The device for COM n given the links found (number -> link path) and the system ports
// (already ordered, as device paths). Empty when n names nothing.
QString mapComPort(int n, const QMap<int, QString>& links, const QStringList& systemPorts);

// The Windows name of COM n; empty outside 1 to 16.
QString windowsComPort(int n);

// Reads the link folder and the system's ports and resolves COM n.
QString resolveComPort(int n);

} // namespace tesvaron
