// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zls740sim {

namespace {

bool fail(std::string* error, const std::string& what, int err)
{
    if (error)
        *error = what + ": " + std::strerror(err);
    return false;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* error)
{
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // keeps the terminator
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, "cannot create a temporary file beside " + path, errno);

    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(name.data());
            return fail(error, "cannot write " + std::string(name.data()), err);
        }
        done += static_cast<std::size_t>(n);
    }
    // mkostemp makes the file private to its owner; the report and frame are
    // meant to be read by test scripts of any user.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(name.data());
        return fail(error, "cannot write " + std::string(name.data()), err);
    }
    if (::rename(name.data(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(name.data());
        return fail(error, "cannot replace " + path, err);
    }
    return true;
}

}  // namespace zls740sim
