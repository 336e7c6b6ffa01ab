#pragma once
// Replacing a file in one step: the bytes go to a temporary file in the target's folder, which
// is renamed onto the target's own name only once everything is written. A symbolic link of
// that name is replaced, never written through.

#include <QByteArray>
#include <QString>

namespace tesvaron {

// Writes `bytes` to `path`. On failure returns false with a short reason in `error` (when
// given; the caller names the file); the target is then as it was before, and no temporary file is
// left behind.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

} // namespace tesvaron
