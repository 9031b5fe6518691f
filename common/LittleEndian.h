// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace korvane {

// Fields of BMP, PCX and ICO files are little-endian whatever the machine is.
inline std::uint32_t readLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline std::uint16_t readLe16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

inline void writeLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline void writeLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

// The same fields in the chars of a std::string, std::string_view or
// QByteArray, as files are read and headers are built.
inline std::uint32_t readLe32(const char* p)
{
    return readLe32(reinterpret_cast<const std::uint8_t*>(p));
}

inline std::uint16_t readLe16(const char* p)
{
    return readLe16(reinterpret_cast<const std::uint8_t*>(p));
}

inline void writeLe32(char* p, std::uint32_t v)
{
    writeLe32(reinterpret_cast<std::uint8_t*>(p), v);
}

inline void writeLe16(char* p, std::uint16_t v)
{
    writeLe16(reinterpret_cast<std::uint8_t*>(p), v);
}

}  // namespace korvane
