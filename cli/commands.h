#pragma once
// The commands of tesvaron-cli over a real serial line.

#include "cli/cli_core.h"

namespace tesvaron::cli {

class Interrupt;

Outcome runPorts(const Options& options);
Outcome runFind(const Options& options, Interrupt& interrupt);
Outcome runRead(const Options& options, Interrupt& interrupt);
Outcome runWatch(const Options& options, Interrupt& interrupt);

// One line on standard error, after the program's name.
void complain(const QString& message);

} // namespace tesvaron::cli
