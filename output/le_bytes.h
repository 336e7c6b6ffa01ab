#pragma once
// Little-endian integer helpers for the binary workbook writers.

#include <QByteArray>
#include <QtGlobal>

namespace tesvaron::le {

inline void appendU8(QByteArray& out, quint8 value)
{
    out.append(char(value));
}

inline void appendU16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

inline void appendU32(QByteArray& out, quint32 value)
{
    appendU16(out, quint16(value & 0xFFFF));
    appendU16(out, quint16(value >> 16));
}

inline void putU16(QByteArray& out, qsizetype at, quint16 value)
{
    out[at] = char(value & 0xFF);
    out[at + 1] = char(value >> 8);
}

inline void putU32(QByteArray& out, qsizetype at, quint32 value)
{
    putU16(out, at, quint16(value & 0xFFFF));
    putU16(out, at + 2, quint16(value >> 16));
}

} // namespace tesvaron::le
