// Korvane - shared by the programs: the random source on POSIX systems.
// SPDX-License-Identifier: MIT
#include "RandomBytes.h"

#include <cerrno>
#include <sys/random.h>

namespace korvane {

bool randomBytes(void* data, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::getrandom(bytes + got, size - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += std::size_t(n);
    }
    return true;
}

}  // namespace korvane
