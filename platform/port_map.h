#pragma once
// How "COM n" names a serial device on this machine.
//
// Linux and other Unix systems, resolved afresh at every open:
//  1. a symbolic link COM<n> in the port-link folder ($TESVARON_PORTS, else
//     $XDG_RUNTIME_DIR/tesvaron, else /tmp/tesvaron-<uid>) names the device it points at;
//  2. the numbers not taken by links go, in ascending order, to the serial ports the system
//     reports: ttyUSB* first, then ttyACM*, then the rest, each group in numeric order.
// Windows: COM n is the system's port COM<n>, named \\.\COM<n> from 10 on; no links.

#include "link/link_logic.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace tesvaron {

// This user's folder for the program's runtime files: $XDG_RUNTIME_DIR/tesvaron, else
// /tmp/tesvaron-<uid>.
QString runtimeFolder();
// $TESVARON_PORTS, else the runtime folder.
QString portLinkFolder();

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
