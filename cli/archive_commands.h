#pragma once
// tesvaron-cli archive: lists, exports and reports what the window and the command line filed.

#include "cli/cli_core.h"

#include <QStringList>

namespace tesvaron::cli {

// Whether the arguments (without the program's name) are an archive command.
bool isArchiveCommand(const QStringList& args);
// Whether that command draws (the report needs a QGuiApplication).
bool archiveCommandDraws(const QStringList& args);
// Runs `archive ...`; `args` without the program's name.
Outcome runArchive(const QStringList& args);

} // namespace tesvaron::cli
