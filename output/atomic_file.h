#pragma once
// Replacing a file in one step: the bytes go to a temporary file in the target's folder, which
// is renamed over the target only once everything is written.

#include <QByteArray>
#include <QString>

namespace tesvaron {

// Writes `bytes` to `path`. On failure returns false with a short reason in `error` (when
// given; the caller names the file); the target is then as it was before, and no temporary file is left behind.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

} // namespace tesvaron
