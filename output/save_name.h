#pragma once
// Which writer a saved file gets: the file's content always matches its name.

#include <QString>
#include <QStringList>
#include <vector>

namespace tesvaron {

// The file types a save offers, in the dialog's order; each lists the extensions (lower case,
// without the dot) that name it, the first being the one a name is given.
using SaveTypes = std::vector<QStringList>;

struct SaveName
{
    QString fileName; // the name to write
    int type = 1;     // 1-based index into the types: the writer to use
};

// A typed extension that names one of the offered types (in any case) picks that type and the
// name stays as typed; any other name keeps the selected type (below 1: the first) and gets that
// type's extension appended. Only the last path component is looked at.
SaveName resolveSaveName(const QString& typed, const SaveTypes& types, int selected);

} // namespace tesvaron
