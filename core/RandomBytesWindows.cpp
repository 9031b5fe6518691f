// Korvane - shared by the programs: the random source on Windows.
// SPDX-License-Identifier: MIT
#include "RandomBytes.h"

#include <windows.h>

#include <bcrypt.h>

namespace korvane {

bool randomBytes(void* data, std::size_t size)
{
    return BCRYPT_SUCCESS(
        ::BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), ULONG(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace korvane
