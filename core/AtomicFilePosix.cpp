// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include "WriteAll.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace korvane {

namespace {

// Told apart per process and per call, so that threads and programs writing
// beside the same target never share a temporary file.
std::string temporaryName(const std::string& path)
{
    static std::atomic<unsigned> made{0};
    return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
}

}  // namespace

bool replaceFile(const std::string& path, const void* data, std::size_t size, std::string* error)
{
    auto failed = [&](const char* what, int err) {
        if (error)
            *error = std::string(what) + " " + path + ": " + std::strerror(err);
        return false;
    };
    std::string temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temporary = temporaryName(path);
        // 0666 less the umask, applied by the system: the umask itself is
        // never changed, which would race with other threads making files.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failed("cannot create a file beside", errno);

    int err = 0;
    writeAll(fd, data, size, &err);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        return failed("cannot write", err);
    }
    return true;
}

}  // namespace korvane
