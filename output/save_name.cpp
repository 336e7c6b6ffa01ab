#include "output/save_name.h"

#include <algorithm>

namespace tesvaron {

SaveName resolveSaveName(const QString& typed, const SaveTypes& types, int selected)
{
    const int chosen = std::clamp(selected, 1, std::max(1, int(types.size())));
    if (types.empty()) return {typed, chosen};

    const qsizetype slash =
        std::max(typed.lastIndexOf(QLatin1Char('/')), typed.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = typed.lastIndexOf(QLatin1Char('.'));
    if (dot > slash) {
        const QString extension = typed.mid(dot + 1).toLower();
        for (std::size_t i = 0; i < types.size(); ++i)
            if (types[i].contains(extension)) return {typed, int(i) + 1};
    }
    // "报告." means no extension, not an empty one.
    QString base = typed;
    if (dot > slash && dot == typed.size() - 1) base.chop(1);
    return {base + QLatin1Char('.') + types[std::size_t(chosen - 1)].value(0), chosen};
}

} // namespace tesvaron
