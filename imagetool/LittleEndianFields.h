// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// Header fields of the file formats written here are little-endian.
inline void putU16(QByteArray &b, int at, int value)
{
    b[at] = char(value & 0xFF);
    b[at + 1] = char((value >> 8) & 0xFF);
}

inline void putU32(QByteArray &b, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((value >> (8 * i)) & 0xFF);
}
