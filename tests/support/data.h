#pragma once
// Helpers for table-driven tests: hex bytes and a data column read as a value.

#include <QByteArray>
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

} // namespace tesvaron::test
