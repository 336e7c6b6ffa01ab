#pragma once
// Helpers for table-driven tests: hex bytes, a data column read as a value, golden texts.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace tesvaron::test {

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

template <typename T> T fetched(const char* column)
{
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}

// The rows of <name>.tsv beside the test: tab-separated cells; a line starting with '#' is a
// comment.
inline QList<QStringList> tableRows(const QString& name)
{
    QFile file(qEnvironmentVariable("TESVARON_TEST_DATA") + "/" + name + ".tsv");
    if (!file.open(QIODevice::ReadOnly)) qFatal("no table %s", qPrintable(name));
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#')) rows << line.split('\t');
    return rows;
}

// Whether the lines read as golden/<name>.txt, but for what `varying` matches.
inline bool readsAsGolden(QStringList made, const QString& name, const QString& varying = "(?!)")
{
    QFile file(qEnvironmentVariable("TESVARON_TEST_DATA") + "/golden/" + name + ".txt");
    made.replaceInStrings(QRegularExpression(varying), "*");
    if (qEnvironmentVariableIsSet("TESVARON_UPDATE_GOLDEN") && file.open(QIODevice::WriteOnly))
        file.write(made.join('\n').toUtf8() + '\n'), file.close();
    QStringList want =
        file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n') : QStringList{""};
    want.removeLast();
    for (qsizetype i = 0; i < std::max(made.size(), want.size()); ++i)
        if (made.value(i) != want.value(i))
            return qWarning("%s.txt line %lld: %s", qPrintable(name), i + 1,
                            qPrintable(made.value(i))),
                   false;
    return true;
}

} // namespace tesvaron::test
