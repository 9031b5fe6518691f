// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "WriteAll.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace korvane {

bool writeAll(int fd, const void* data, std::size_t size, int* err)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (err)
                *err = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeStandardOutput(const void* data, std::size_t size, std::string* reason)
{
    int err = 0;
    if (writeAll(STDOUT_FILENO, data, size, &err))
        return true;
    *reason = std::strerror(err);
    return false;
}

}  // namespace korvane
