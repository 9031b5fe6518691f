// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "SnapshotWriter.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr std::array<std::uint8_t, 256> makeNibbleSwap()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = std::uint8_t((i << 4) | (i >> 4));
    return table;
}

constexpr std::array<std::uint8_t, 256> kNibbleSwap = makeNibbleSwap();

}  // namespace

void SnapshotWriter::write(std::ostream& out, const ScreenView& screen)
{
    out.write(reinterpret_cast<const char*>(screen.imageBuffer), kHeaderBytes);
    std::array<std::uint8_t, kRowBytes> row;
    for (std::size_t r = 0; r < std::size_t(kScreenHeight); ++r) {
        const std::uint8_t* source = screen.pixelData + kRowBytes * (kScreenHeight - 1 - r);
        for (std::size_t j = 0; j < kRowBytes; ++j)
            row[kRowBytes - 1 - j] = kNibbleSwap[source[j]];
        out.write(reinterpret_cast<const char*>(row.data()), row.size());
    }
}

bool SnapshotWriter::replaceFile(const std::string& path, const std::string& bytes, std::string* error)
{
    auto failed = [&](const char* what, int err) {
        if (error)
            *error = std::string(what) + " " + path + ": " + std::strerror(err);
        return false;
    };
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failed("cannot create a file beside", errno);
    // mkstemp makes the file private; a snapshot is as readable as any file
    // the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    std::size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return failed("cannot write", err);
    }
    return true;
}

}  // namespace korvane
