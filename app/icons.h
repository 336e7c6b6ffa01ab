#pragma once
// The window's and the command buttons' pictures, drawn in code.

#include <QIcon>

namespace tesvaron::icons {

QIcon window(); // the desktop entry's picture, 16 to 128 px
QIcon read();   // 32 x 32
QIcon save();   // 32 x 32 and 16 x 16
QIcon clear();  // 32 x 32 and 16 x 16
QIcon print();  // 32 x 32
QIcon help();   // 24 x 24
QIcon close();  // 32 x 32

} // namespace tesvaron::icons
